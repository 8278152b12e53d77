#include "core/dialogs.h"

#include <cstring>

#include "core/appstate.h"
#include "core/processlist.h"

void ApplyDbcsFont(HWND dialog)
{
    if (!GetSystemMetrics(SM_DBCSENABLED))
        return;
    WPARAM font = reinterpret_cast<WPARAM>(MainListFont());
    SendMessageA(dialog, WM_SETFONT, font, FALSE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, WM_SETFONT, font, FALSE);
}

DWORD PrepareProcessView(const char *title, bool withName, ViewSubject *subject)
{
    *subject = ViewSubject();
    const ProcessRecord *record = SelectedRecord();
    if (record)
        subject->process = RefOf(*record);
    lstrcpynA(subject->ViewTitle, title ? title : "", MAX_PATH);
    const size_t used = std::strlen(subject->ViewTitle);
    const size_t room = MAX_PATH - 1 - used; // the name with its terminator: title <= 258
    if (record && withName && used < MAX_PATH - 1)
        lstrcpynA(subject->ViewTitle + used, record->name, static_cast<int>(room));
    return subject->process.id;
}
