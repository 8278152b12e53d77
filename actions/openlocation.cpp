#include "actions/openlocation.h"

#include <cstdio>

#include "actions/run.h"
#include "core/processlist.h"
#include "core/processrecord.h"
#include "resource.h"

LRESULT OnOpenLocationCommand(HWND window, WPARAM, WORD, LPARAM)
{
    const ProcessRecord *record = SelectedRecord();
    if (!record || !record->path[0])
        return 0;
    // The shell may dispatch messages, and a refresh may free the record meanwhile.
    char path[MAX_PATH];
    lstrcpynA(path, record->path, MAX_PATH);
    // A file name holds no quote, so quoting keeps a path with spaces or commas whole.
    char parameters[MAX_PATH + 16];
    std::snprintf(parameters, sizeof parameters, "/select,\"%s\"", path);
    ShellOpen(window, nullptr, "explorer.exe", parameters, IDS_OPENLOCATION_FAILED, path);
    return 0;
}
