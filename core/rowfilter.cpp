#include "core/rowfilter.h"

#include <cstdlib>
#include <cstring>

#include "core/columns.h"
#include "core/processcells.h"
#include "core/processrecord.h"

namespace {

char *g_filter; // lower case; null while no filter holds
bool g_matchesNothing; // the filter holds a character no cell can hold

// A heap copy of the text in lower case, by the rules of the system's code page, so that
// double-byte characters are kept whole; null when out of memory.
char *Lowered(const char *text)
{
    const size_t length = std::strlen(text);
    char *lowered = static_cast<char *>(std::malloc(length + 1));
    if (!lowered)
        return nullptr;
    std::memcpy(lowered, text, length + 1);
    if (length)
        CharLowerBuffA(lowered, static_cast<DWORD>(length));
    return lowered;
}

bool Contains(const char *text)
{
    char *lowered = text ? Lowered(text) : nullptr;
    const bool found = lowered && std::strstr(lowered, g_filter);
    std::free(lowered);
    return found;
}

// The text of the record's cell in the first column of the kind, when the list shows one.
bool ShownCellContains(ProcessRecord *record, ColumnKind kind)
{
    const int column = FindColumn(kind);
    return column >= 0 && Contains(CellText(record, column));
}

// The columns whose cells the filter reads while they show, besides the name and the path.
const ColumnKind kMatchedColumns[] = {ColumnId,          ColumnCommandLine, ColumnUserName,
                                      ColumnDescription, ColumnCompany,     ColumnServices};

// The text in the code page, on the heap; null when out of memory or when a character of it
// does not come back unchanged from the code page (it has none there, or only a look-alike).
char *InCodePage(const WCHAR *text)
{
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    char *ansi = bytes > 0 ? static_cast<char *>(std::malloc(static_cast<size_t>(bytes))) : nullptr;
    if (!ansi || !WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, bytes, nullptr, nullptr)) {
        std::free(ansi);
        return nullptr;
    }
    const int chars = lstrlenW(text) + 1;
    const int back = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    WCHAR *wide = back == chars ? static_cast<WCHAR *>(std::malloc(chars * sizeof(WCHAR))) : nullptr;
    const bool same = wide && MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, chars) == chars &&
                      std::memcmp(wide, text, chars * sizeof(WCHAR)) == 0;
    std::free(wide);
    if (!same) {
        std::free(ansi);
        return nullptr;
    }
    return ansi;
}

} // namespace

void SetRowFilter(const char *text)
{
    std::free(g_filter);
    g_filter = text && *text ? Lowered(text) : nullptr;
    g_matchesNothing = false;
}

void SetRowFilterWide(const WCHAR *text)
{
    if (!text || !*text) {
        SetRowFilter(nullptr);
        return;
    }
    char *ansi = InCodePage(text);
    SetRowFilter(ansi ? ansi : "");
    g_matchesNothing = !ansi;
    std::free(ansi);
}

bool RowFilterActive()
{
    return g_filter != nullptr || g_matchesNothing;
}

bool RecordPassesRowFilter(ProcessRecord *record)
{
    if (g_matchesNothing)
        return false;
    if (!g_filter)
        return true;
    if (!record)
        return false;
    if (Contains(record->name) || Contains(record->path))
        return true;
    for (ColumnKind kind : kMatchedColumns)
        if (ShownCellContains(record, kind))
            return true;
    return false;
}
