#include "core/dialoghost.h"

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/save.h"
#include "core/settings.h"
#include "core/sysapi.h"

namespace {

// The open modeless dialogs: one per DialogSpec, and the program has few.
const size_t kMostModeless = 4;
DialogHost *g_modeless[kMostModeless];
size_t g_modelessCount;

DialogHost *GetViewHost(HWND dialog)
{
    return reinterpret_cast<DialogHost *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void SetupColumnHeader(HWND dialog, const DialogSpec &desc)
{
    const LPARAM tabs = reinterpret_cast<LPARAM>(desc.tabs);
    SendDlgItemMessageA(dialog, desc.listId, LB_SETTABSTOPS, desc.tabCount, tabs);
    SendDlgItemMessageA(dialog, desc.headerId, EM_SETTABSTOPS, desc.tabCount, tabs);
    char *text = LoadResString(desc.headerString);
    if (text)
        SetDlgItemTextA(dialog, desc.headerId, text);
    FreeResString(text);
}

// Moves the column titles so that their text starts where the list's lines start, the titles
// over their columns at any font size.
void AlignHeaderWithList(HWND dialog, const DialogSpec &desc)
{
    HWND header = GetDlgItem(dialog, desc.headerId);
    HWND list = GetDlgItem(dialog, desc.listId);
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
    const int shift = MainListNameWidth();
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

// A list box made to scroll sideways (WS_HSCROLL in its template) scrolls over the width it
// has at first, so that what its lines show at that width stays reachable when the view is
// narrower. The width is the one left beside a vertical scroll bar, so that a list that gets
// one later does not also get a horizontal one. Others ignore the extent.
void KeepListScrollWidth(HWND list)
{
    RECT client;
    if (!list || !GetClientRect(list, &client))
        return;
    const bool vertical = (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) != 0; // shown now
    const int width = client.right - (vertical ? 0 : GetSystemMetrics(SM_CXVSCROLL));
    SendMessageA(list, LB_SETHORIZONTALEXTENT, width > 0 ? width : 0, 0);
}

// The list's colours, with text drawn over its line's background rather than on a box of its
// own: the box of a tab column's text is its advance width, which on some systems wipes the
// part of a last letter that reaches past it ("Show window" shown as "Show windov"). The
// lines' backgrounds, the selected one's included, are filled before their text either way.
HBRUSH ListColors(HDC dc)
{
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_WINDOW);
}

// A dialog wider than the screen is made narrower by the system as it is created, while its
// controls keep the template's places: a list that reaches past the client area then ends as
// far from its right edge as it starts from the left one, and scrolls to the rest.
void KeepListInside(HWND dialog, HWND list)
{
    RECT client, rect;
    if (!list || !GetClientRect(dialog, &client) || !GetWindowRect(list, &rect))
        return;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
    const int right = client.right - rect.left;
    if (rect.right > client.right && right > rect.left)
        SetWindowPos(list, nullptr, 0, 0, right - rect.left, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER);
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

bool SameSize(const RECT &a, const RECT &b)
{
    return a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top;
}

void InitView(HWND dialog, DialogHost *host)
{
    const DialogSpec &desc = *host->desc;
    host->dialog = dialog;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
    ApplyDbcsFont(dialog);
    if (desc.besideNameColumn)
        PlaceBesideNameColumn(dialog);
    GetClientRect(dialog, &host->savedClient);
    host->list = desc.listId ? GetDlgItem(dialog, desc.listId) : nullptr;
    if (desc.setTitle)
        SetWindowTextA(dialog, host->subject.ViewTitle);
    if (desc.headerId)
        SetupColumnHeader(dialog, desc);
    if (desc.headerId && desc.listId)
        AlignHeaderWithList(dialog, desc);
    if (desc.init)
        desc.init(host);
    if (desc.fill)
        desc.fill(host);
    if (desc.refreshSeconds && *desc.refreshSeconds > 0)
        StartViewTimer(host, RefreshPeriodMs(*desc.refreshSeconds));
    KeepListScrollWidth(host->list);
    FitToWorkArea(dialog);
    if (desc.resizable)
        KeepListInside(dialog, host->list);
}

void OnViewSize(DialogHost *host, int width, int height)
{
    bool listResized = false;
    if (host->desc->resizable && host->list) {
        RECT before = {}, after = {};
        GetWindowRect(host->list, &before);
        FollowDialogSize(host->dialog, host->list, width, height, &host->savedClient);
        GetWindowRect(host->list, &after);
        listResized = !SameSize(before, after);
    }
    if (host->desc->size)
        host->desc->size(host, listResized);
}

void OnViewTimer(DialogHost *host)
{
    void (*tick)(DialogHost *) = host->desc->tick ? host->desc->tick : host->desc->fill;
    if (tick)
        tick(host);
}

// True when `id` is one of the dialog's own ending commands.
bool IsEnding(const DialogSpec &desc, WORD id)
{
    for (const int *ending = desc.endings; ending && *ending; ++ending)
        if (id == *ending)
            return true;
    return false;
}

// Escape, an ending command, and a double click on a line of the list box; false for any other
// command.
bool OnViewCommand(DialogHost *host, WORD id, WORD code)
{
    if (id == IDCANCEL && host->desc->cancel && host->desc->cancel(host))
        return true;
    if (id == IDCANCEL || IsEnding(*host->desc, id)) {
        EndHostedDialog(host, id);
        return true;
    }
    if (!host->desc->open || id != host->desc->listId || code != LBN_DBLCLK)
        return false;
    host->desc->open(host);
    return true;
}

void ForgetModeless(DialogHost *host)
{
    for (size_t i = 0; i < g_modelessCount; ++i)
        if (g_modeless[i] == host) {
            g_modeless[i] = g_modeless[--g_modelessCount];
            break;
        }
    delete host;
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
        *result = host->desc->notify &&
                  host->desc->notify(host, reinterpret_cast<const NMHDR *>(lParam));
        return true;
    case WM_CLOSE:
        EndHostedDialog(host, 0);
        return true;
    case WM_COMMAND:
        return OnViewCommand(host, LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        if (host->desc->destroy)
            host->desc->destroy(host);
        *result = FALSE;
        return true;
    case WM_CTLCOLORLISTBOX:
        *result = reinterpret_cast<INT_PTR>(ListColors(reinterpret_cast<HDC>(wParam)));
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrA(host->dialog, DWLP_USER, 0);
        if (host->modeless)
            ForgetModeless(host);
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
    return host->desc->message && host->desc->message(host, message, wParam, lParam);
}

} // namespace

INT_PTR OpenView(HWND owner, int templateId, const DialogSpec *desc, void *state,
                 const ViewSubject *subject)
{
    DialogHost host = {};
    host.desc = desc;
    host.state = state;
    if (subject)
        host.subject = *subject;
    return DialogBoxParamA(g_instance, MAKEINTRESOURCEA(templateId), owner, ViewDialogProc,
                           reinterpret_cast<LPARAM>(&host));
}

HWND OpenModelessView(HWND owner, int templateId, const DialogSpec *desc, void *state)
{
    if (HWND open = FindModelessView(desc)) {
        if (GetWindowLongA(open, GWL_STYLE) & WS_MINIMIZE)
            ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
        return open;
    }
    DialogHost *host = g_modelessCount < kMostModeless ? new DialogHost() : nullptr;
    if (!host)
        return nullptr;
    host->desc = desc;
    host->state = state;
    host->modeless = true;
    g_modeless[g_modelessCount++] = host;
    HWND dialog = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(templateId), owner,
                                     ViewDialogProc, reinterpret_cast<LPARAM>(host));
    if (!dialog) {
        // A window made and destroyed on the way has forgotten its host already.
        for (size_t i = 0; i < g_modelessCount; ++i)
            if (g_modeless[i] == host) {
                ForgetModeless(host);
                break;
            }
        return nullptr;
    }
    ShowWindow(dialog, SW_SHOW);
    return dialog;
}

HWND FindModelessView(const DialogSpec *desc)
{
    for (size_t i = 0; i < g_modelessCount; ++i)
        if (g_modeless[i]->desc == desc && g_modeless[i]->dialog && !g_modeless[i]->ended)
            return g_modeless[i]->dialog;
    return nullptr;
}

bool HandleModelessMessage(MSG *msg)
{
    for (size_t i = 0; i < g_modelessCount; ++i) {
        DialogHost *host = g_modeless[i];
        HWND dialog = host->dialog;
        if (!dialog || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)))
            continue;
        // The host may be gone once either call returns (Escape closes the dialog).
        if (msg->message == WM_KEYDOWN && HandleViewKey(host, static_cast<UINT>(msg->wParam)))
            return true;
        return IsDialogMessageA(dialog, msg) != FALSE;
    }
    return false;
}

INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const DialogSpec *desc,
                        void *state)
{
    ViewSubject subject;
    if (!PrepareProcessView(titlePrefix, true, &subject))
        return 0;
    return OpenView(g_mainWindow, templateId, desc, state, &subject);
}

RECT FittedWindowRect(const RECT &window, const RECT &work)
{
    const int width = Clamp(window.right - window.left, 0, work.right - work.left);
    const int height = Clamp(window.bottom - window.top, 0, work.bottom - work.top);
    const int left = Clamp(window.left, work.left, work.right - width);
    const int top = Clamp(window.top, work.top, work.bottom - height);
    return {left, top, left + width, top + height};
}

void FitToWorkArea(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    const RECT fitted = FittedWindowRect(rect, ScreenWorkArea(window));
    if (!EqualRect(&fitted, &rect))
        SetWindowPos(window, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                     fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void EndHostedDialog(DialogHost *host, INT_PTR result)
{
    StopViewTimer(host);
    if (host->ended)
        return;
    host->ended = true;
    if (host->modeless)
        DestroyWindow(host->dialog);
    else
        EndDialog(host->dialog, result);
}

bool HandleViewKey(DialogHost *host, UINT key)
{
    const DialogSpec &desc = *host->desc;
    if (key == VK_F5) {
        void (*refresh)(DialogHost *) = desc.refresh ? desc.refresh : desc.fill;
        if (refresh)
            refresh(host);
        return true;
    }
    if (key == VK_F2 || (key == 'S' && GetKeyState(VK_CONTROL) < 0)) {
        if (desc.save)
            desc.save(host);
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
