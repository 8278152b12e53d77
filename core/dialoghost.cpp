#include "core/dialoghost.h"

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/save.h"

namespace {

DialogHost *GetViewHost(HWND dialog)
{
    return reinterpret_cast<DialogHost *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void SetupColumnHeader(HWND dialog, const DialogSpec &spec)
{
    const LPARAM tabs = reinterpret_cast<LPARAM>(spec.tabs);
    SendDlgItemMessageA(dialog, spec.listId, LB_SETTABSTOPS, spec.tabCount, tabs);
    SendDlgItemMessageA(dialog, spec.headerId, EM_SETTABSTOPS, spec.tabCount, tabs);
    char *text = LoadResString(spec.headerString);
    if (text)
        SetDlgItemTextA(dialog, spec.headerId, text);
    FreeResString(text);
}

// Moves the column titles so that their text starts where the list's lines start, the titles
// over their columns at any font size.
void AlignHeaderWithList(HWND dialog, const DialogSpec &spec)
{
    HWND header = GetDlgItem(dialog, spec.headerId);
    HWND list = GetDlgItem(dialog, spec.listId);
    if (!header || !list)
        return;
    RECT headerRect;
    GetWindowRect(header, &headerRect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&headerRect), 2);
    POINT headerText = {0, 0}, lineText = {1, 0}; // a list box draws its lines one pixel in
    MapWindowPoints(header, dialog, &headerText, 1);
    MapWindowPoints(list, dialog, &lineText, 1);
    SendMessageA(header, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(0, 0));
    const int shift = lineText.x - headerText.x;
    SetWindowPos(header, nullptr, headerRect.left + shift, headerRect.top,
                 headerRect.right - headerRect.left - shift, headerRect.bottom - headerRect.top,
                 SWP_NOZORDER);
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

void InitView(HWND dialog, DialogHost *host)
{
    const DialogSpec &spec = *host->spec;
    host->dialog = dialog;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
    ApplyDbcsFont(dialog);
    if (spec.besideNameColumn)
        PlaceBesideNameColumn(dialog);
    GetClientRect(dialog, &host->savedClient);
    host->list = spec.listId ? GetDlgItem(dialog, spec.listId) : nullptr;
    if (spec.setTitle)
        SetWindowTextA(dialog, ViewTitle);
    if (spec.headerId)
        SetupColumnHeader(dialog, spec);
    if (spec.headerId && spec.listId)
        AlignHeaderWithList(dialog, spec);
    if (spec.init)
        spec.init(host);
    if (spec.fill)
        spec.fill(host);
    if (spec.refreshSeconds && *spec.refreshSeconds != 0)
        StartViewTimer(host, static_cast<UINT>(*spec.refreshSeconds) * 1000);
}

void OnViewSize(DialogHost *host, int width, int height)
{
    bool listResized = false;
    if (host->spec->resizable && host->list) {
        RECT before = {}, after = {};
        GetWindowRect(host->list, &before);
        FollowDialogSize(host->dialog, host->list, width, height, &host->savedClient);
        GetWindowRect(host->list, &after);
        listResized = !SameSize(before, after);
    }
    if (host->spec->size)
        host->spec->size(host, listResized);
}

void OnViewTimer(DialogHost *host)
{
    void (*tick)(DialogHost *) = host->spec->tick ? host->spec->tick : host->spec->fill;
    if (tick)
        tick(host);
}

// True when `id` is one of the dialog's own ending commands.
bool IsEnding(const DialogSpec &spec, WORD id)
{
    for (const int *ending = spec.endings; ending && *ending; ++ending)
        if (id == *ending)
            return true;
    return false;
}

// Escape, an ending command, and a double click on a line of the list box; false for any other
// command.
bool OnViewCommand(DialogHost *host, WORD id, WORD code)
{
    if (id == IDCANCEL || IsEnding(*host->spec, id)) {
        EndHostedDialog(host, id);
        return true;
    }
    if (!host->spec->open || id != host->spec->listId || code != LBN_DBLCLK)
        return false;
    host->spec->open(host);
    return true;
}

// The shared handling of every message but WM_INITDIALOG; false leaves it to the view.
bool HandleViewMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result)
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
        *result = host->spec->notify &&
                  host->spec->notify(host, reinterpret_cast<const NMHDR *>(lParam));
        return true;
    case WM_CLOSE:
        EndHostedDialog(host, 0);
        return true;
    case WM_COMMAND:
        return OnViewCommand(host, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        if (host->spec->destroy)
            host->spec->destroy(host);
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
        InitView(dialog, reinterpret_cast<DialogHost *>(lParam));
        return TRUE;
    }
    DialogHost *host = GetViewHost(dialog);
    if (!host)
        return FALSE;
    INT_PTR result;
    if (HandleViewMessage(host, message, wParam, lParam, &result))
        return result;
    return host->spec->message && host->spec->message(host, message, wParam, lParam);
}

} // namespace

INT_PTR OpenView(HWND owner, int templateId, const DialogSpec *spec, void *state)
{
    DialogHost host = {};
    host.spec = spec;
    host.state = state;
    return DialogBoxParamA(g_instance, MAKEINTRESOURCEA(templateId), owner, ViewDialogProc,
                           reinterpret_cast<LPARAM>(&host));
}

INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const DialogSpec *spec,
                        void *state)
{
    if (!PrepareProcessView(titlePrefix))
        return 0;
    return OpenView(g_mainWindow, templateId, spec, state);
}

void EndHostedDialog(DialogHost *host, INT_PTR result)
{
    StopViewTimer(host);
    if (host->ended)
        return;
    host->ended = true;
    EndDialog(host->dialog, result);
}

bool HandleViewKey(DialogHost *host, UINT key)
{
    const DialogSpec &spec = *host->spec;
    if (key == VK_F5) {
        void (*refresh)(DialogHost *) = spec.refresh ? spec.refresh : spec.fill;
        if (refresh)
            refresh(host);
        return true;
    }
    if (key == VK_F2 || (key == 'S' && GetKeyState(VK_CONTROL) < 0)) {
        if (spec.save)
            spec.save(host);
        else
            SaveListBox(host->dialog, host->list);
        return true;
    }
    return false;
}

void StartViewTimer(DialogHost *host, UINT milliseconds)
{
    KillTimer(host->dialog, ViewRefreshTimer);
    host->timerStarted = SetTimer(host->dialog, ViewRefreshTimer, milliseconds, nullptr) != 0;
}

void StopViewTimer(DialogHost *host)
{
    if (!host->timerStarted)
        return;
    KillTimer(host->dialog, ViewRefreshTimer);
    host->timerStarted = false;
}
