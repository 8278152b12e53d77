#include "actions/priority.h"

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/prioritynames.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "resource.h"

namespace {

// Before NT 5 there is nothing between Idle and Normal or between Normal and High.
bool Offered(const PriorityClassEntry &entry)
{
    return IsNt5 || !entry.sinceNt5;
}

// The class table's index of the combo box's choice `choice`; -1 when there is none.
int ChoiceClass(LRESULT choice)
{
    for (int i = 0; i < kPriorityClassCount; ++i)
        if (Offered(kPriorityClasses[i]) && choice-- == 0)
            return i;
    return -1;
}

// Reads the process's class, fills the combo box and selects the current class. False when the
// dialog has to end: the process cannot be opened (silently) or its class cannot be read.
bool ShowCurrentClass(HWND dialog, DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    const DWORD current = GetPriorityClass(process);
    CloseHandle(process);
    if (!current) {
        ShowResMessage(dialog, IDS_CANT_GET_PRIORITY, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    HWND combo = GetDlgItem(dialog, IDC_PRIORITY_CLASS);
    int selected = -1;
    for (int i = 0, choice = 0; i < kPriorityClassCount; ++i) {
        if (!Offered(kPriorityClasses[i]))
            continue;
        SendMessageA(combo, CB_INSERTSTRING, choice,
                     reinterpret_cast<LPARAM>(PriorityClassNameAt(i)));
        if (kPriorityClasses[i].priorityClass == current)
            selected = choice;
        ++choice;
    }
    SendMessageA(combo, CB_SETCURSEL, selected, 0);
    return true;
}

// The dialog's state is the process (a HeldProcess).
void InitPriorityDialog(DialogHost *host)
{
    if (!ShowCurrentClass(host->dialog, HostState<const HeldProcess>(host)->Ref().id))
        EndHostedDialog(host, 0);
}

// OK: sets the chosen class, unless the process ended while the dialog was open. With nothing
// chosen (the current class is none the table knows) the press is ignored and the dialog stays
// open.
void ApplyChosenPriority(DialogHost *host)
{
    HWND dialog = host->dialog;
    const int chosen =
        ChoiceClass(SendDlgItemMessageA(dialog, IDC_PRIORITY_CLASS, CB_GETCURSEL, 0, 0));
    if (chosen < 0)
        return;
    const HeldProcess *held = HostState<const HeldProcess>(host);
    if (held->RefuseIfEnded(dialog)) {
        EndHostedDialog(host, IDOK);
        return;
    }

    HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, held->Ref().id);
    if (process) {
        if (!SetPriorityClass(process, kPriorityClasses[chosen].priorityClass))
            ShowResMessage(dialog, IDS_CANT_SET_PRIORITY, MB_OK | MB_ICONEXCLAMATION);
        CloseHandle(process);
    } else {
        ShowResMessage(dialog, IDS_ACCESS_DENIED, MB_OK | MB_ICONEXCLAMATION);
    }
    EndHostedDialog(host, IDOK);
}

bool PriorityDialogMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDOK)
        return false;
    ApplyChosenPriority(host);
    return true;
}

const DialogSpec kPriorityDialog = {
    .setTitle = true,
    .init = InitPriorityDialog,
    .message = PriorityDialogMessage,
};

} // namespace

LRESULT OnPriorityCommand(HWND, WPARAM, WORD, LPARAM)
{
    HeldProcess held(SelectedRecord());
    if (!held.Held())
        return 0;
    if (OpenProcessView(IDD_PRIORITY, ResText(IDS_TITLE_PRIORITY), &kPriorityDialog, &held) == IDOK)
        RefreshMain();
    return 0;
}
