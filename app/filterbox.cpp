#include "app/filterbox.h"

#include <cstdlib>

#include "core/appstate.h"
#include "core/dpi.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/rowfilter.h"
#include "core/sysapi.h"
#include "resource.h"

namespace {

const int kBoxWidth = 160; // 96-dpi pixels
const int kBoxMargin = 4;
const UINT kSetCueBanner = 0x1501; // EM_SETCUEBANNER: common controls 6; older edits ignore it

HWND g_box;
WNDPROC g_editProc;

// Down or Enter: the list shows what the text lets through at once and takes the focus, its first
// shown row selected when no shown row is.
void GoToList()
{
    SendMessageA(g_mainWindow, WM_TIMER, kFilterTimerId, 0);
    if (SelectFirstRowIfNone(g_processList))
        SendMessageA(g_mainWindow, WM_LISTEVENT, 0, kProcessListId);
    SetFocus(g_processList);
}

// Escape empties the box, shows every row at once and hands the focus back to the list.
LRESULT CALLBACK FilterBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && (wParam == VK_DOWN || wParam == VK_RETURN)) {
        GoToList();
        return 0;
    }
    if (message == WM_CHAR && wParam == '\r')
        return 0; // no beep
    if ((message == WM_KEYDOWN && wParam == VK_ESCAPE) || (message == WM_CHAR && wParam == 27)) {
        if (message == WM_KEYDOWN) {
            SetWindowTextA(box, "");
            SendMessageA(g_mainWindow, WM_TIMER, kFilterTimerId, 0);
            SetFocus(g_processList);
        }
        return 0; // no beep
    }
    if (message == WM_NCDESTROY)
        g_box = nullptr; // gone with its window
    return CallWindowProcA(g_editProc, box, message, wParam, lParam);
}

void SetCueText(HWND box)
{
    WCHAR cue[64];
    if (MultiByteToWideChar(CP_ACP, 0, ResText(IDS_FILTER_CUE), -1, cue, 64))
        SendMessageA(box, kSetCueBanner, FALSE, reinterpret_cast<LPARAM>(cue));
}

// The box's text in Unicode as the NT family keeps it, taken as the filter; false where the
// system cannot tell it (Windows 9x) or out of memory.
bool TakeWideFilterText()
{
    const SystemApi &api = SysApi();
    if (!IsNt || !api.GetWindowTextW || !api.GetWindowTextLengthW)
        return false;
    const int size = api.GetWindowTextLengthW(g_box) + 1;
    WCHAR *text = static_cast<WCHAR *>(std::malloc(size * sizeof(WCHAR)));
    if (!text)
        return false;
    if (api.GetWindowTextW(g_box, text, size) <= 0)
        text[0] = L'\0';
    SetRowFilterWide(text);
    std::free(text);
    return true;
}

} // namespace

void PlaceFilterBox(HWND toolbar)
{
    if (g_box && IsWindow(g_box)) {
        SetParent(g_box, toolbar);
        return;
    }
    g_box = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                            toolbar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFilterEditId)),
                            g_instance, nullptr);
    if (!g_box)
        return;
    SendMessageA(g_box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    SetCueText(g_box);
    g_editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilterBoxProc)));
}

void LayoutFilterBox(int width, int toolbarHeight)
{
    const int boxWidth = ScaleFrom96(kBoxWidth, g_screenDpi);
    const int margin = ScaleFrom96(kBoxMargin, g_screenDpi);
    const int height = toolbarHeight - 2 * margin;
    MoveWindow(g_box, width - boxWidth - margin, margin, boxWidth, height > 0 ? height : 0, TRUE);
}

HWND FilterBox()
{
    return g_box;
}

void FocusFilterBox()
{
    SetFocus(g_box);
    SendMessageA(g_box, EM_SETSEL, 0, -1);
}

void TakeFilterText(HWND window)
{
    KillTimer(window, kFilterTimerId);
    if (TakeWideFilterText())
        return;
    const int size = GetWindowTextLengthA(g_box) + 1;
    char *text = static_cast<char *>(std::malloc(size));
    if (!text)
        return; // the filter stays as it was
    if (GetWindowTextA(g_box, text, size) <= 0)
        text[0] = '\0';
    SetRowFilter(text);
    std::free(text);
}

bool FilterBoxKeepsKey(const MSG &msg)
{
    if (!g_box || GetFocus() != g_box || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN))
        return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    return !(msg.wParam == VK_F1 || msg.wParam == VK_F5 || (control && msg.wParam == 'Q'));
}
