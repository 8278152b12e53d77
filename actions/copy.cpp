#include "actions/copy.h"

#include <cstring>
#include <vector>

#include "core/processcells.h"
#include "core/processlist.h"

namespace {

// Puts `text` (`length` characters) on the clipboard, replacing what was there; nothing changes
// when memory or the clipboard refuses.
void PutOnClipboard(HWND owner, const char *text, size_t length)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    char *target = memory ? static_cast<char *>(GlobalLock(memory)) : nullptr;
    if (target) {
        std::memcpy(target, text, length);
        target[length] = '\0';
        GlobalUnlock(memory);
    }
    if (!target || !OpenClipboard(owner)) {
        if (memory)
            GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, memory))
        GlobalFree(memory); // the clipboard owns it only once it took it
    CloseClipboard();
}

void Append(std::vector<char> *text, const char *part)
{
    text->insert(text->end(), part, part + std::strlen(part));
}

void AppendPath(std::vector<char> *text, ProcessRecord *record)
{
    Append(text, record->path);
}

// One line for each selected row, in row order; the last line has no line end.
void CopySelected(HWND owner, void (*line)(std::vector<char> *, ProcessRecord *))
{
    std::vector<char> text;
    const std::vector<ProcessRecord *> records = SelectedRecords();
    for (size_t i = 0; i < records.size(); ++i) {
        if (i)
            Append(&text, "\r\n");
        line(&text, records[i]);
    }
    if (!records.empty())
        PutOnClipboard(owner, text.data() ? text.data() : "", text.size());
}

} // namespace

LRESULT OnCopyPathCommand(HWND window, WPARAM, WORD, LPARAM)
{
    CopySelected(window, AppendPath);
    return 0;
}

LRESULT OnCopyRowCommand(HWND window, WPARAM, WORD, LPARAM)
{
    CopySelected(window, AppendColumnFields); // the row's cells joined by tabs
    return 0;
}
