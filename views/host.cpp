#include "views/host.h"

#include "app/appstate.h"
#include "app/mainwnd.h"
#include "app/processlist.h"
#include "app/save.h"

namespace {

ViewHost *GetViewHost(HWND dialog)
{
    return reinterpret_cast<ViewHost *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void SetupColumnHeader(HWND dialog, const ViewLayout &layout)
{
    const LPARAM tabs = reinterpret_cast<LPARAM>(layout.tabs);
    SendDlgItemMessageA(dialog, layout.listId, LB_SETTABSTOPS, layout.tabCount, tabs);
    SendDlgItemMessageA(dialog, layout.headerId, EM_SETTABSTOPS, layout.tabCount, tabs);
    char *text = LoadResString(layout.headerString);
    if (text)
        SetDlgItemTextA(dialog, layout.headerId, text);
    FreeResString(text);
}

void PlaceBesideNameColumn(HWND dialog)
{
    const int shift = static_cast<int>(SendMessageA(g_processList, LVM_GETCOLUMNWIDTH, 0, 0));
    RECT rect;
    GetWindowRect(dialog, &rect);
    SetWindowPos(dialog, nullptr, rect.left + shift, rect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

// Grows or shrinks `control` by the change of the dialog's client size since `savedClient`,
// which then takes the new size.
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

bool SameSize(const RECT &a, const RECT &b)
{
    return a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top;
}

void InitView(HWND dialog, ViewHost *host)
{
    const ViewLayout &layout = *host->layout;
    host->dialog = dialog;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
    ApplyDbcsFont(dialog);
    if (layout.besideNameColumn)
        PlaceBesideNameColumn(dialog);
    GetClientRect(dialog, &host->savedClient);
    host->list = layout.listId ? GetDlgItem(dialog, layout.listId) : nullptr;
    if (layout.setTitle)
        SetWindowTextA(dialog, ViewTitle);
    if (layout.headerId)
        SetupColumnHeader(dialog, layout);
    if (layout.init)
        layout.init(host);
    if (layout.fill)
        layout.fill(host);
    if (layout.refreshSeconds && *layout.refreshSeconds != 0)
        StartViewTimer(host, static_cast<UINT>(*layout.refreshSeconds) * 1000);
}

void OnViewSize(ViewHost *host, int width, int height)
{
    bool listResized = false;
    if (host->layout->resizable && host->list) {
        RECT before = {}, after = {};
        GetWindowRect(host->list, &before);
        FollowDialogSize(host->dialog, host->list, width, height, &host->savedClient);
        GetWindowRect(host->list, &after);
        listResized = !SameSize(before, after);
    }
    if (host->layout->size)
        host->layout->size(host, listResized);
}

void OnViewTimer(ViewHost *host)
{
    void (*tick)(ViewHost *) = host->layout->tick ? host->layout->tick : host->layout->fill;
    if (tick)
        tick(host);
}

void EndView(ViewHost *host, INT_PTR result)
{
    StopViewTimer(host);
    if (host->ended)
        return;
    host->ended = true;
    EndDialog(host->dialog, result);
}

// Escape, and a double click on a line of the list box; false for any other command.
bool OnViewCommand(ViewHost *host, WORD id, WORD code)
{
    if (id == IDCANCEL) {
        EndView(host, 2);
        return true;
    }
    if (!host->layout->open || id != host->layout->listId || code != LBN_DBLCLK)
        return false;
    host->layout->open(host);
    return true;
}

// The shared handling of every message but WM_INITDIALOG; false leaves it to the view.
bool HandleViewMessage(ViewHost *host, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result)
{
    *result = TRUE;
    switch (message) {
    case WM_SIZE:
        OnViewSize(host, LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_VKEYTOITEM:
        HandleViewKey(host, LOWORD(wParam));
        *result = -1;
        return true;
    case WM_TIMER:
        if (wParam == ViewRefreshTimer)
            OnViewTimer(host);
        return true;
    case WM_NOTIFY:
        *result = host->layout->notify &&
                  host->layout->notify(host, reinterpret_cast<const NMHDR *>(lParam));
        return true;
    case WM_CLOSE:
        EndView(host, 0);
        return true;
    case WM_COMMAND:
        return OnViewCommand(host, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        if (host->layout->destroy)
            host->layout->destroy(host);
        *result = FALSE;
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrA(host->dialog, DWLP_USER, 0);
        *result = FALSE;
        return true;
    }
    return false;
}

INT_PTR CALLBACK ViewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitView(dialog, reinterpret_cast<ViewHost *>(lParam));
        return TRUE;
    }
    ViewHost *host = GetViewHost(dialog);
    if (!host)
        return FALSE;
    INT_PTR result;
    if (HandleViewMessage(host, message, wParam, lParam, &result))
        return result;
    return host->layout->message && host->layout->message(host, message, wParam, lParam);
}

} // namespace

INT_PTR OpenView(HWND owner, int templateId, const ViewLayout *layout, void *extra)
{
    ViewHost host = {};
    host.layout = layout;
    host.extra = extra;
    return DialogBoxParamA(g_instance, MAKEINTRESOURCEA(templateId), owner, ViewDialogProc,
                           reinterpret_cast<LPARAM>(&host));
}

INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const ViewLayout *layout, void *extra)
{
    if (!PrepareProcessView(titlePrefix))
        return 0;
    return OpenView(g_mainWindow, templateId, layout, extra);
}

bool HandleViewKey(ViewHost *host, UINT key)
{
    const ViewLayout &layout = *host->layout;
    if (key == VK_F5) {
        void (*refresh)(ViewHost *) = layout.refresh ? layout.refresh : layout.fill;
        if (refresh)
            refresh(host);
        return true;
    }
    if (key == VK_F2 || (key == 'S' && GetKeyState(VK_CONTROL) < 0)) {
        if (layout.save)
            layout.save(host);
        else
            SaveListBox(host->dialog, host->list);
        return true;
    }
    return false;
}

void StartViewTimer(ViewHost *host, UINT milliseconds)
{
    KillTimer(host->dialog, ViewRefreshTimer);
    host->timerStarted = SetTimer(host->dialog, ViewRefreshTimer, milliseconds, nullptr) != 0;
}

void StopViewTimer(ViewHost *host)
{
    if (!host->timerStarted)
        return;
    KillTimer(host->dialog, ViewRefreshTimer);
    host->timerStarted = false;
}
