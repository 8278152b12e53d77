#include "core/rowfilter.h"

#include <cstdlib>
#include <cstring>

#include "core/columns.h"
#include "core/processcells.h"
#include "core/processrecord.h"

namespace {

char *g_filter; // lower case; null while no filter holds

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

} // namespace

void SetRowFilter(const char *text)
{
    std::free(g_filter);
    g_filter = text && *text ? Lowered(text) : nullptr;
}

bool RowFilterActive()
{
    return g_filter != nullptr;
}

bool RecordPassesRowFilter(ProcessRecord *record)
{
    if (!g_filter)
        return true;
    return record && (Contains(record->name) || ShownCellContains(record, ColumnId) ||
                      Contains(record->path) || ShownCellContains(record, ColumnCommandLine) ||
                      ShownCellContains(record, ColumnUserName));
}
