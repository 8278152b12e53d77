#include "actions/affinity.h"

#include <cstdio>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "core/save.h"
#include "core/sysapi.h"
#include "resource.h"

namespace {

// Layout of the boxes, in dialog units: columns of up to eight boxes, then the buttons.
const int kMargin = 7;
const int kBoxesPerColumn = 8;
const int kBoxWidth = 40;
const int kColumnWidth = 44;
const int kRowHeight = 12;
const int kBoxHeight = 10;
const int kButtonWidth = 50;
const int kButtonHeight = 14;
const int kMinWidth = 130;

// The dialog's state: the process, its masks as read, and the processor behind each box.
struct AffinityChoice {
    const HeldProcess *held;
    DWORD_PTR processMask;
    DWORD_PTR systemMask;
    int count;
    int processors[kMaxAffinityBoxes];
};

DWORD_PTR Bit(int processor)
{
    return static_cast<DWORD_PTR>(1) << processor;
}

// 0 when both masks were read, else the system's error code.
DWORD ReadMasks(DWORD processId, AffinityChoice *choice)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        return GetLastError();
    const BOOL read = SysApi().GetProcessAffinityMask(process, &choice->processMask, &choice->systemMask);
    const DWORD error = read ? 0 : GetLastError();
    CloseHandle(process);
    return error;
}

DWORD WriteMask(DWORD processId, DWORD_PTR mask)
{
    HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, processId);
    if (!process)
        return GetLastError();
    const DWORD error = SysApi().SetProcessAffinityMask(process, mask) ? 0 : GetLastError();
    CloseHandle(process);
    return error;
}

// A rectangle given in dialog units, in the dialog's pixels.
RECT DialogRect(HWND dialog, int x, int y, int width, int height)
{
    RECT rect = {x, y, x + width, y + height};
    MapDialogRect(dialog, &rect);
    return rect;
}

void Place(HWND control, HWND after, const RECT &rect)
{
    SetWindowPos(control, after, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOACTIVATE);
}

// A box for each processor, in columns, in tab order ahead of the buttons.
void AddBoxes(HWND dialog, const AffinityChoice &choice)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    HWND after = HWND_TOP;
    for (int i = 0; i < choice.count; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, ResText(IDS_AFFINITY_CPU), choice.processors[i]);
        HWND box = CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                   0, 0, 0, 0, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_AFFINITY_FIRST + i)),
                                   g_instance, nullptr);
        if (!box)
            continue;
        SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(box, BM_SETCHECK, (choice.processMask & Bit(choice.processors[i])) ? BST_CHECKED : BST_UNCHECKED, 0);
        Place(box, after, DialogRect(dialog, kMargin + i / kBoxesPerColumn * kColumnWidth,
                                     kMargin + i % kBoxesPerColumn * kRowHeight, kBoxWidth, kBoxHeight));
        after = box;
    }
}

// The dialog grows to hold the columns, with OK and Cancel below them at its two sides, after
// the boxes in tab order.
void LayOut(HWND dialog, int count)
{
    const int columns = (count + kBoxesPerColumn - 1) / kBoxesPerColumn;
    const int rows = count < kBoxesPerColumn ? count : kBoxesPerColumn;
    int width = 2 * kMargin + columns * kColumnWidth;
    width = width < kMinWidth ? kMinWidth : width;
    const int buttonsTop = kMargin + rows * kRowHeight + 6;
    const RECT client = DialogRect(dialog, 0, 0, width, buttonsTop + kButtonHeight + kMargin);
    RECT frame = client;
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const HWND ok = GetDlgItem(dialog, IDOK), cancel = GetDlgItem(dialog, IDCANCEL);
    Place(ok, HWND_BOTTOM, DialogRect(dialog, kMargin, buttonsTop, kButtonWidth, kButtonHeight));
    Place(cancel, HWND_BOTTOM,
          DialogRect(dialog, width - kMargin - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight));
}

void InitAffinityDialog(DialogHost *host)
{
    const AffinityChoice &choice = *HostState<const AffinityChoice>(host);
    AddBoxes(host->dialog, choice);
    LayOut(host->dialog, choice.count);
}

// OK: the checked processors, refused when there are none (the dialog stays open).
void ApplyChosenMask(DialogHost *host)
{
    const AffinityChoice &choice = *HostState<const AffinityChoice>(host);
    bool checked[kMaxAffinityBoxes];
    for (int i = 0; i < choice.count; ++i)
        checked[i] = IsDlgButtonChecked(host->dialog, IDC_AFFINITY_FIRST + i) == BST_CHECKED;
    const DWORD_PTR mask = MaskOfChecked(choice.processors, checked, choice.count);
    if (!mask) {
        ShowResMessage(host->dialog, IDS_AFFINITY_NONE, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const HeldProcess &held = *choice.held;
    if (!held.RefuseIfEnded(host->dialog))
        if (const DWORD error = WriteMask(held.Ref().id, mask))
            ShowSystemFailure(host->dialog, IDS_AFFINITY_FAILED, held.Name(), error);
    EndHostedDialog(host, IDOK);
}

bool AffinityDialogMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDOK)
        return false;
    ApplyChosenMask(host);
    return true;
}

const DialogSpec kAffinityDialog = {
    .init = InitAffinityDialog,
    .message = AffinityDialogMessage,
};

} // namespace

int ProcessorsOfMask(DWORD_PTR mask, int (&processors)[kMaxAffinityBoxes])
{
    int count = 0;
    for (int processor = 0; processor < kMaxAffinityBoxes; ++processor)
        if (mask & Bit(processor))
            processors[count++] = processor;
    return count;
}

DWORD_PTR MaskOfChecked(const int *processors, const bool *checked, int count)
{
    DWORD_PTR mask = 0;
    for (int i = 0; i < count; ++i)
        if (checked[i])
            mask |= Bit(processors[i]);
    return mask;
}

LRESULT OnAffinityCommand(HWND window, WPARAM, WORD, LPARAM)
{
    const SystemApi &api = SysApi();
    const HeldProcess held(SelectedRecord());
    if (!held.Held() || !api.GetProcessAffinityMask || !api.SetProcessAffinityMask)
        return 0;
    AffinityChoice choice = {};
    choice.held = &held;
    if (const DWORD error = ReadMasks(held.Ref().id, &choice)) {
        ShowSystemFailure(window, IDS_AFFINITY_UNREADABLE, held.Name(), error);
        return 0;
    }
    choice.count = ProcessorsOfMask(choice.systemMask, choice.processors);
    if (choice.count > 0)
        OpenProcessView(IDD_AFFINITY, "", &kAffinityDialog, &choice);
    return 0;
}
