#include "views/apps.h"

#include <commctrl.h>

#include <cstdio>

#include "actions/switchto.h"
#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/save.h"
#include "resource.h"

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
    item.pszText = const_cast<char *>(title[0] ? title : ResText(IDS_APPS_UNTITLED));
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
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char *>(ResText(IDS_COL_WINDOWTITLE));
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    return list;
}

// The template has no controls: the list is made here, over the whole client area.
void InitApps(DialogHost *host)
{
    host->list = CreateWindowList(host->dialog, host->savedClient);
    if (host->list)
        SendMessageA(host->list, WM_SETFONT, SendMessageA(host->dialog, WM_GETFONT, 0, 0), FALSE);
}

// First fill: the list shows once it holds the windows.
void ShowApplications(DialogHost *host)
{
    if (!host->list)
        return;
    FillApplications(host->list);
    ShowWindow(host->list, SW_SHOW);
}

// The view's F5: the main list first, so that the selection it reports is current. A save file
// open at this point has taken the lines and is finished.
void RefillView(DialogHost *host)
{
    RefreshMain();
    FillApplications(host->list);
    CloseSaveFile(host->dialog);
}

// The view's F2 and Ctrl+S: refill while the save file takes the lines.
void SaveView(DialogHost *host)
{
    OpenSaveFile(host->dialog);
    RefillView(host);
}

void FitColumnToView(DialogHost *host, bool)
{
    FitColumn(host->list);
}

bool OnListNotify(DialogHost *host, const NMHDR *header)
{
    if (header->idFrom != IDC_APPS_LIST)
        return true;
    switch (header->code) {
    case LVN_KEYDOWN:
        HandleViewKey(host, reinterpret_cast<const NMLVKEYDOWN *>(header)->wVKey);
        break;
    case NM_CLICK:
    case NM_DBLCLK:
        break;
    default:
        return true;
    }
    // Posted, so that it is handled after the list view has moved its selection.
    PostMessageA(host->dialog, WM_LISTEVENT, static_cast<WPARAM>(header->code), IDC_APPS_LIST);
    return true;
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

bool AppsViewMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_LISTEVENT)
        return false;
    if (lParam == IDC_APPS_LIST)
        OnListEvent(host->list, static_cast<UINT>(wParam));
    return true;
}

void DestroyImages(DialogHost *host)
{
    ImageList_Destroy(reinterpret_cast<HIMAGELIST>(
        SendMessageA(host->list, LVM_SETIMAGELIST, LVSIL_SMALL, 0)));
}

const DialogSpec kAppsView = {
    .listId = IDC_APPS_LIST,
    .resizable = true,
    .besideNameColumn = true,
    .init = InitApps,
    .fill = ShowApplications,
    .refresh = RefillView,
    .save = SaveView,
    .size = FitColumnToView,
    .notify = OnListNotify,
    .message = AppsViewMessage,
    .destroy = DestroyImages,
};

} // namespace

HICON WindowSmallIcon(HWND window)
{
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(window, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kIconTimeoutMs, &icon))
        icon = 0;
    if (!icon)
        icon = static_cast<DWORD_PTR>(GetClassLongPtrA(window, GCLP_HICONSM));
    // A window without one shows the system's application icon, not this program's.
    return icon ? reinterpret_cast<HICON>(icon) : LoadIconA(nullptr, IDI_APPLICATION);
}

void FillApplications(HWND list)
{
    const ProcessRecord *selected = SelectedRecord();
    AppsFill fill = {list, nullptr, selected ? selected->id : 0, 0};
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
    if (MainListHeld())
        RefreshMain();
    OpenView(g_mainWindow, IDD_APPS, &kAppsView);
    return 0;
}
