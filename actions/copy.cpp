#include "actions/copy.h"

#include <cstring>

#include "core/columns.h"
#include "core/processcells.h"
#include "core/processlist.h"

namespace {

// Puts the text the callback writes (`length` characters) on the clipboard, replacing what was
// there; nothing changes when memory or the clipboard refuses.
void PutOnClipboard(HWND owner, size_t length, void (*write)(ProcessRecord *, char *),
                    ProcessRecord *record)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    char *target = memory ? static_cast<char *>(GlobalLock(memory)) : nullptr;
    if (target) {
        write(record, target);
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

void WritePath(ProcessRecord *record, char *target)
{
    std::strcpy(target, record->path);
}

// The row's cells joined by tabs; with `target` null only counts the characters.
size_t WriteRow(ProcessRecord *record, char *target)
{
    size_t length = 0;
    for (int column = 0; column < g_columnCount; ++column) {
        const char *cell = CellText(record, column);
        const size_t cellLength = std::strlen(cell) + (column ? 1 : 0);
        if (target) {
            if (column)
                target[length] = '\t';
            std::memcpy(target + length + (column ? 1 : 0), cell, cellLength - (column ? 1 : 0));
        }
        length += cellLength;
    }
    return length;
}

void WriteRowText(ProcessRecord *record, char *target)
{
    WriteRow(record, target);
}

} // namespace

LRESULT OnCopyPathCommand(HWND window, WPARAM, WORD, LPARAM)
{
    ProcessRecord *record = SelectedRecord();
    if (record)
        PutOnClipboard(window, std::strlen(record->path), WritePath, record);
    return 0;
}

LRESULT OnCopyRowCommand(HWND window, WPARAM, WORD, LPARAM)
{
    ProcessRecord *record = SelectedRecord();
    if (record)
        PutOnClipboard(window, WriteRow(record, nullptr), WriteRowText, record);
    return 0;
}
