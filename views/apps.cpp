#include "views/apps.h"

#include <commctrl.h>

#include <cstdio>

#include "actions/switchto.h"
#include "app/appstate.h"
#include "app/mainwnd.h"
#include "app/processlist.h"
#include "app/save.h"
#include "resource.h"
#include "views/common.h"

namespace {

const int kTitleLength = 100;  // 99 characters and the terminator
const UINT kIconTimeoutMs = 200; // per window; a hung program costs at most this

// What one refill walks with: the list, its image list, the process selected in the main list
// and the number of windows listed so far.
struct AppsFill {
    HWND list;
    HIMAGELIST images;
    DWORD selectedId;
    int count;
};

const char *UntitledText()
{
    static char *text = LoadResString(IDS_APPS_UNTITLED);
    return text ? text : "";
}

int AddWindowIcon(HIMAGELIST images, HWND window)
{
    HICON icon = WindowSmallIcon(window);
    // ImageList_AddIcon scales an icon of another size down to 16x16, where adding the icon's
    // bitmaps would split a 32x32 one into two images.
    return icon ? ImageList_AddIcon(images, icon) : -1;
}

BOOL CALLBACK AddApplication(HWND window, LPARAM param)
{
    AppsFill *fill = reinterpret_cast<AppsFill *>(param);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    if ((style & (WS_SYSMENU | WS_VISIBLE)) != (WS_SYSMENU | WS_VISIBLE))
        return TRUE;

    char title[kTitleLength] = "";
    GetWindowTextA(window, title, sizeof title);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);

    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = fill->count++;
    item.pszText = const_cast<char *>(title[0] ? title : UntitledText());
    item.iImage = AddWindowIcon(fill->images, window);
    item.lParam = static_cast<LPARAM>(processId);
    item.stateMask = LVIS_SELECTED;
    if (processId != 0 && processId == fill->selectedId)
        item.state = LVIS_SELECTED;
    SendMessageA(fill->list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));

    if (g_saveFile)
        std::fprintf(g_saveFile, "%s (%d)\n", title, static_cast<int>(processId));
    return TRUE;
}

// The view's F5: the main list first, so that the selection it reports is current. A save file
// open at this point has taken the lines and is finished.
void RefillView(HWND dialog, HWND list)
{
    RefreshMain();
    FillApplications(list);
    CloseSaveFile(dialog);
}

// The view's F2 and Ctrl+S: refill while the save file takes the lines.
void SaveView(HWND dialog, HWND list)
{
    OpenSaveFile(dialog);
    RefillView(dialog, list);
}

const ListViewSpec kAppsView = {
    IDC_APPS_LIST, 0, 0, 0, nullptr, nullptr,
    true,  // resizable
    true,  // beside the main list's name column
    false, // keeps the template caption
    RefillView,
    SaveView,
    nullptr,
};

// The one column spans the list's client area, inside any vertical scroll bar, so the list never
// needs a horizontal one.
void FitColumn(HWND list)
{
    RECT client;
    if (GetClientRect(list, &client))
        SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, client.right);
}

HWND CreateWindowList(HWND dialog, const RECT &client)
{
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "",
                                WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                                0, 0, client.right, client.bottom, dialog,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_APPS_LIST)),
                                g_instance, nullptr);
    if (!list)
        return nullptr;
    char *heading = LoadResString(IDS_COL_WINDOWTITLE);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = heading ? heading : const_cast<char *>("");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    FreeResString(heading);
    return list;
}

void InitApps(HWND dialog)
{
    ViewState *state = new ViewState();
    state->layout = &kAppsView;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    ApplyDbcsFont(dialog);
    PlaceBesideNameColumn(dialog);
    GetClientRect(dialog, &state->savedClient);
    state->list = CreateWindowList(dialog, state->savedClient);
    if (!state->list)
        return;
    SendMessageA(state->list, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    FillApplications(state->list);
    ShowWindow(state->list, SW_SHOW);
}

void OnListNotify(HWND dialog, const NMHDR *header)
{
    if (header->idFrom != IDC_APPS_LIST)
        return;
    switch (header->code) {
    case LVN_KEYDOWN:
        HandleViewKey(dialog, reinterpret_cast<const NMLVKEYDOWN *>(header)->wVKey);
        break;
    case NM_CLICK:
    case NM_DBLCLK:
        break;
    default:
        return;
    }
    // Posted, so that it is handled after the list view has moved its selection.
    PostMessageA(dialog, WM_LISTEVENT, static_cast<WPARAM>(header->code), IDC_APPS_LIST);
}

void OnListEvent(HWND list, UINT code)
{
    const int row = static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0)
        return;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return;
    SelectProcessById(static_cast<DWORD>(item.lParam));
    if (code == static_cast<UINT>(NM_DBLCLK))
        OnSwitchToCommand(g_mainWindow, IDM_BRINGTOFRONT, 0, 0);
}

INT_PTR CALLBACK AppsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitApps(dialog);
        return TRUE;
    }
    ViewState *state = GetViewState(dialog);
    if (!state)
        return FALSE;

    switch (message) {
    case WM_SIZE:
        FollowDialogSize(dialog, state->list, LOWORD(lParam), HIWORD(lParam), &state->savedClient);
        FitColumn(state->list);
        return TRUE;
    case WM_NOTIFY:
        OnListNotify(dialog, reinterpret_cast<const NMHDR *>(lParam));
        return TRUE;
    case WM_LISTEVENT:
        if (lParam == IDC_APPS_LIST)
            OnListEvent(state->list, static_cast<UINT>(wParam));
        return TRUE;
    case WM_CLOSE:
    case WM_COMMAND:
        return EndViewOnClose(dialog, message, wParam);
    case WM_DESTROY:
        ImageList_Destroy(reinterpret_cast<HIMAGELIST>(
            SendMessageA(state->list, LVM_SETIMAGELIST, LVSIL_SMALL, 0)));
        return FALSE;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return FALSE;
    }
    return FALSE;
}

} // namespace

HICON WindowSmallIcon(HWND window)
{
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(window, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kIconTimeoutMs, &icon))
        icon = 0;
    if (!icon)
        icon = static_cast<DWORD_PTR>(GetClassLongPtrA(window, GCLP_HICONSM));
    return icon ? reinterpret_cast<HICON>(icon) : g_smallIcon;
}

void FillApplications(HWND list)
{
    AppsFill fill = {list, nullptr, GetSelectedProcess(g_processList, nullptr, 0), 0};
    fill.images = ImageList_Create(16, 16, ILC_COLORDDB | ILC_MASK, 10, 5);
    ImageList_Destroy(reinterpret_cast<HIMAGELIST>(SendMessageA(
        list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(fill.images))));
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    EnumWindows(AddApplication, reinterpret_cast<LPARAM>(&fill));
    // Also sizes the column the first time: a dialog's first WM_SIZE comes before the list exists.
    FitColumn(list);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

LRESULT OnApplicationsCommand(HWND, WPARAM, WORD, LPARAM)
{
    if (g_listFrozen)
        RefreshMain();
    CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_APPS), g_mainWindow, AppsDialogProc, 0);
    return 0;
}
