#include "core/dialogs.h"

#include <cstring>

#include "core/appstate.h"
#include "core/processlist.h"

char ViewTitle[MAX_PATH];
DWORD CurrentProcessId;

void ApplyDbcsFont(HWND dialog)
{
    if (!GetSystemMetrics(SM_DBCSENABLED))
        return;
    WPARAM font = reinterpret_cast<WPARAM>(MainListFont());
    SendMessageA(dialog, WM_SETFONT, font, FALSE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, WM_SETFONT, font, FALSE);
}

DWORD PrepareProcessView(const char *titlePrefix)
{
    lstrcpynA(ViewTitle, titlePrefix ? titlePrefix : "", MAX_PATH);
    const int used = static_cast<int>(std::strlen(ViewTitle));
    const int room = MAX_PATH - 1 - used; // name copied with its terminator: title <= 258
    if (room > 0)
        CurrentProcessId = GetSelectedProcess(g_processList, ViewTitle + used, -room);
    else
        CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    return CurrentProcessId;
}
