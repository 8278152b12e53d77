#include "actions/priority.h"

#include "app/appstate.h"
#include "app/dialogs.h"
#include "app/mainwnd.h"
#include "app/prioritynames.h"
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

DWORD DialogProcessId(HWND dialog)
{
    return static_cast<DWORD>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// Reads the process's class, fills the combo box and selects the current class. False when the
// dialog has to end: the process cannot be opened (silently) or its class cannot be read.
bool InitPriorityDialog(HWND dialog, DWORD processId)
{
    SetWindowLongPtrA(dialog, DWLP_USER, static_cast<LONG_PTR>(processId));
    ApplyDbcsFont(dialog);
    SetWindowTextA(dialog, ViewTitle);

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

// OK: sets the chosen class. With nothing chosen (the current class is none the table knows)
// the press is ignored and the dialog stays open.
void ApplyChosenPriority(HWND dialog)
{
    const int chosen =
        ChoiceClass(SendDlgItemMessageA(dialog, IDC_PRIORITY_CLASS, CB_GETCURSEL, 0, 0));
    if (chosen < 0)
        return;

    HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, DialogProcessId(dialog));
    if (process) {
        if (!SetPriorityClass(process, kPriorityClasses[chosen].priorityClass))
            ShowResMessage(dialog, IDS_CANT_SET_PRIORITY, MB_OK | MB_ICONEXCLAMATION);
        CloseHandle(process);
    } else {
        ShowResMessage(dialog, IDS_ACCESS_DENIED, MB_OK | MB_ICONEXCLAMATION);
    }
    EndDialog(dialog, IDOK);
}

} // namespace

INT_PTR CALLBACK PriorityDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (EndDialogOn(dialog, message, wParam, kCancelEnds))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        if (!InitPriorityDialog(dialog, static_cast<DWORD>(lParam)))
            EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            ApplyChosenPriority(dialog);
        return TRUE;
    }
    return FALSE;
}

LRESULT OnPriorityCommand(HWND, WPARAM, WORD, LPARAM)
{
    if (!PrepareProcessView(g_titlePriority))
        return 0;
    if (DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_PRIORITY), g_mainWindow,
                        PriorityDialogProc, static_cast<LPARAM>(CurrentProcessId)) == IDOK)
        RefreshMain();
    return 0;
}
