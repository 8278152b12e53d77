#include "views/common.h"

#include <commctrl.h>

#include "app/appstate.h"
#include "app/mainwnd.h"
#include "app/processlist.h"
#include "app/save.h"

ViewState *GetViewState(HWND dialog)
{
    return reinterpret_cast<ViewState *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void SetupColumnHeader(HWND dialog, int listId, int headerId, UINT stringId, int tabCount,
                       const int *tabs)
{
    SendDlgItemMessageA(dialog, listId, LB_SETTABSTOPS, tabCount, reinterpret_cast<LPARAM>(tabs));
    SendDlgItemMessageA(dialog, headerId, EM_SETTABSTOPS, tabCount, reinterpret_cast<LPARAM>(tabs));
    char *text = LoadResString(stringId);
    if (text)
        SetDlgItemTextA(dialog, headerId, text);
    FreeResString(text);
}

void FollowDialogSize(HWND dialog, HWND control, int width, int height, RECT *savedClient)
{
    RECT rect;
    if (!GetWindowRect(control, &rect))
        return;
    const int newWidth = rect.right - rect.left + width - (savedClient->right - savedClient->left);
    const int newHeight = rect.bottom - rect.top + height - (savedClient->bottom - savedClient->top);
    if (newWidth <= 0 || newHeight <= 0)
        return;
    SetWindowPos(control, nullptr, 0, 0, newWidth, newHeight, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(dialog, savedClient);
}

void PlaceBesideNameColumn(HWND dialog)
{
    const int shift = static_cast<int>(SendMessageA(g_processList, LVM_GETCOLUMNWIDTH, 0, 0));
    RECT rect;
    GetWindowRect(dialog, &rect);
    SetWindowPos(dialog, nullptr, rect.left + shift, rect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const ListViewSpec *layout)
{
    if (!PrepareProcessView(titlePrefix))
        return 0;
    return DialogBoxParamA(g_instance, MAKEINTRESOURCEA(templateId), g_mainWindow,
                           ListViewDialogProc, reinterpret_cast<LPARAM>(layout));
}

bool HandleViewKey(HWND dialog, UINT key)
{
    ViewState *state = GetViewState(dialog);
    if (!state)
        return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (key == VK_F5) {
        state->layout->fill(dialog, state->list);
        return true;
    }
    if (key == VK_F2 || (key == 'S' && ctrl)) {
        if (state->layout->save)
            state->layout->save(dialog, state->list);
        else
            SaveListBox(dialog, state->list);
        return true;
    }
    return false;
}

namespace {

void InitListView(HWND dialog, const ListViewSpec *layout)
{
    ViewState *state = new ViewState();
    state->layout = layout;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    ApplyDbcsFont(dialog);
    if (layout->besideNameColumn)
        PlaceBesideNameColumn(dialog);
    GetClientRect(dialog, &state->savedClient);
    state->list = GetDlgItem(dialog, layout->listId);
    if (layout->setTitle)
        SetWindowTextA(dialog, ViewTitle);
    if (layout->headerId)
        SetupColumnHeader(dialog, layout->listId, layout->headerId, layout->headerString,
                          layout->tabCount, layout->tabs);
    layout->fill(dialog, state->list);
    if (layout->refreshSeconds && *layout->refreshSeconds != 0)
        state->timerStarted = SetTimer(dialog, ViewRefreshTimer,
                                       static_cast<UINT>(*layout->refreshSeconds) * 1000, nullptr) != 0;
}

void EndView(HWND dialog, INT_PTR result)
{
    ViewState *state = GetViewState(dialog);
    if (state && state->timerStarted) {
        KillTimer(dialog, ViewRefreshTimer);
        state->timerStarted = false;
    }
    EndDialog(dialog, result);
}

} // namespace

INT_PTR CALLBACK ListViewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitListView(dialog, reinterpret_cast<const ListViewSpec *>(lParam));
        return TRUE;
    }
    ViewState *state = GetViewState(dialog);
    if (!state)
        return FALSE;
    INT_PTR result = 0;
    if (state->layout->extra && state->layout->extra(dialog, message, wParam, lParam, &result))
        return result;

    switch (message) {
    case WM_SIZE:
        if (state->layout->resizable)
            FollowDialogSize(dialog, state->list, LOWORD(lParam), HIWORD(lParam), &state->savedClient);
        return TRUE;
    case WM_VKEYTOITEM:
        HandleViewKey(dialog, LOWORD(wParam));
        return -1;
    case WM_TIMER:
        if (wParam == ViewRefreshTimer)
            state->layout->fill(dialog, state->list);
        return TRUE;
    case WM_CLOSE:
        EndView(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndView(dialog, 2);
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return FALSE;
    }
    return FALSE;
}
