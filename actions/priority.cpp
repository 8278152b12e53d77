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

// The dialog's state: every selected process, and which of them shows its class.
struct PriorityTargets {
    const HeldProcesses *held;
    size_t shown;
};

void InitPriorityDialog(DialogHost *host)
{
    const PriorityTargets *targets = HostState<const PriorityTargets>(host);
    if (!ShowCurrentClass(host->dialog, (*targets->held)[targets->shown].Ref().id))
        EndHostedDialog(host, 0);
}

// 0 when the process took the class, else the string that says why not.
UINT SetClass(const ProcessRef &ref, DWORD priorityClass)
{
    HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, ref.id);
    if (!process)
        return IDS_ACCESS_DENIED;
    const BOOL set = SetPriorityClass(process, priorityClass);
    CloseHandle(process);
    return set ? 0 : IDS_CANT_SET_PRIORITY;
}

// One process: what happened is told as it happens.
void ApplyToOne(HWND dialog, const HeldProcess &held, DWORD priorityClass)
{
    if (held.RefuseIfEnded(dialog))
        return;
    if (const UINT failure = SetClass(held.Ref(), priorityClass))
        ShowResMessage(dialog, failure, MB_OK | MB_ICONEXCLAMATION);
}

// Several: each is looked up again, and what was skipped or refused is told once.
void ApplyToSeveral(HWND dialog, const HeldProcesses &held, DWORD priorityClass)
{
    ProcessReport report;
    for (size_t i = 0; i < held.Count(); ++i) {
        if (held[i].Ended())
            report.Skipped(held[i]);
        else if (const UINT failure = SetClass(held[i].Ref(), priorityClass))
            report.Failed(held[i], failure);
    }
    report.Show(dialog);
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
    const HeldProcesses &held = *HostState<const PriorityTargets>(host)->held;
    const DWORD priorityClass = kPriorityClasses[chosen].priorityClass;
    if (held.Count() == 1)
        ApplyToOne(dialog, held[0], priorityClass);
    else
        ApplyToSeveral(dialog, held, priorityClass);
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
    const std::vector<ProcessRecord *> records = SelectedRecords();
    const ProcessRecord *chosen = SelectedRecord();
    const HeldProcesses held(records);
    if (held.Count() == 0)
        return 0;
    PriorityTargets targets = {&held, 0};
    for (size_t i = 0; i < held.Count(); ++i)
        if (chosen && held[i].Ref().id == chosen->id && held[i].Ref().kind == chosen->kind)
            targets.shown = i;
    if (OpenProcessView(IDD_PRIORITY, ResText(IDS_TITLE_PRIORITY), &kPriorityDialog, &targets) ==
        IDOK)
        RefreshMain();
    return 0;
}
