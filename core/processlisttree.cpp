#include "core/processlisttree.h"

#include <commctrl.h>

#include "core/dpi.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/treeglyph.h"

namespace {

WNDPROC g_listProc;
bool g_keyTaken; // the last key went to the tree: its character must not find a row

int FocusedRow(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_FOCUSED));
}

// The row becomes the only selected one, focused and in view.
void MoveToRow(HWND list, int row)
{
    if (row < 0)
        return;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, row);
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}

// The rows follow a branch opened or closed; a selection the branch hid passes to the record the
// key or click was on, and the main window's commands and status line follow the selection.
void Rearrange(HWND list, const ProcessRecord *record)
{
    if (ShowRows(list))
        MoveToRow(list, RowOf(record));
    PostMessageA(GetParent(list), WM_LISTEVENT, LVN_KEYDOWN, GetDlgCtrlID(list));
}

bool Branches(const ProcessRecord *record)
{
    return record && (record->flags & RecordHasChildren);
}

bool Open(const ProcessRecord *record)
{
    return Branches(record) && !(record->flags & RecordCollapsed);
}

// The glyph's place in the row under the point; true when a branch was opened or closed there.
bool ToggleAt(HWND list, LPARAM point)
{
    LVHITTESTINFO hit = {};
    hit.pt.x = static_cast<short>(LOWORD(point));
    hit.pt.y = static_cast<short>(HIWORD(point));
    if (SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 ||
        hit.iSubItem != 0)
        return false;
    ProcessRecord *record = RecordAt(hit.iItem);
    RECT cell;
    if (!Branches(record) || !TreeGlyphCell(list, hit.iItem, &cell) || !PtInRect(&cell, hit.pt))
        return false;
    SetFocus(list); // as a click anywhere else on the list would
    SetCollapsed(record, Open(record));
    Rearrange(list, record);
    return true;
}

LRESULT CALLBACK TreeListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (TreeMode()) {
        switch (message) {
        case WM_KEYDOWN:
            g_keyTaken = GetKeyState(VK_CONTROL) >= 0 && TreeKey(list, static_cast<UINT>(wParam));
            if (g_keyTaken)
                return 0;
            break;
        case WM_CHAR:
            if (g_keyTaken) { // the keypad's +, - and * type no name
                g_keyTaken = false;
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (ToggleAt(list, lParam))
                return 0;
            break;
        default:
            break;
        }
    }
    if (message == WM_THEMECHANGED)
        ForgetTreeGlyphTheme();
    return CallWindowProcA(g_listProc, list, message, wParam, lParam);
}

// The small-image list only makes room: its width is what one level of the tree indents, and
// the place of the row's image holds the glyph. The flat list has none, so it looks as always.
void SetIndentImages(HWND list, bool on)
{
    HIMAGELIST images = nullptr;
    if (on) {
        const int size = ScaleFrom96(16, g_screenDpi);
        images = ImageList_Create(size, 1, ILC_COLOR, 0, 1);
    }
    HIMAGELIST old = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    if (old)
        ImageList_Destroy(old);
}

} // namespace

void AttachTreeKeys(HWND list)
{
    if (!list || g_listProc)
        return;
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeListProc)));
}

bool TreeKey(HWND list, UINT key)
{
    const int row = FocusedRow(list);
    ProcessRecord *record = RecordAt(row);
    if (!record)
        return key == VK_LEFT || key == VK_RIGHT;
    switch (key) {
    case VK_LEFT:
        if (Open(record)) {
            SetCollapsed(record, true);
            Rearrange(list, record);
        } else {
            MoveToRow(list, RowOf(ParentOf(record)));
            Rearrange(list, nullptr);
        }
        return true;
    case VK_RIGHT:
        if (Branches(record) && !Open(record)) {
            SetCollapsed(record, false);
            Rearrange(list, record);
        } else if (Open(record)) {
            MoveToRow(list, row + 1); // its first child
            Rearrange(list, nullptr);
        }
        return true;
    case VK_MULTIPLY:
        ExpandBranch(record);
        Rearrange(list, record);
        return true;
    case VK_ADD:
    case VK_SUBTRACT:
        SetCollapsed(record, key == VK_SUBTRACT && Branches(record));
        Rearrange(list, record);
        return true;
    default:
        return false;
    }
}

void ShowTree(HWND list, bool on)
{
    SetTreeMode(on);
    if (!list)
        return;
    SetIndentImages(list, on);
    ShowRows(list);
    InvalidateRect(list, nullptr, TRUE);
}

void ShowMainTree(bool on)
{
    ShowTree(g_processList, on);
}
