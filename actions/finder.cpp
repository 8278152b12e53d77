#include "actions/finder.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "resource.h"

namespace {

bool g_finderActive;
HWND g_highlightedWindow;
HWND g_savedCapture;
HCURSOR g_savedCursor;

// Inverts a three-pixel frame along the window's edges; drawing it twice restores the screen.
void DrawFinderFrame(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    HDC dc = GetWindowDC(window);
    if (!dc)
        return;
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    const int oldMode = SetROP2(dc, R2_XORPEN);
    for (int i = 0; i < 3; ++i) {
        // A line leaves out its end point, so each pixel of the outline is inverted once.
        MoveToEx(dc, i, i, nullptr);
        LineTo(dc, w - 1 - i, i);
        LineTo(dc, w - 1 - i, h - 1 - i);
        LineTo(dc, i, h - 1 - i);
        LineTo(dc, i, i);
    }
    SetROP2(dc, oldMode);
    SelectObject(dc, oldPen);
    ReleaseDC(window, dc);
}

// The outermost visible, not minimised window of the same process, climbing from `window`.
HWND OutermostWindowOfProcess(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    for (;;) {
        const HWND parent = GetParent(window);
        if (!parent)
            return window;
        const LONG style = GetWindowLongA(parent, GWL_STYLE);
        DWORD parentProcess = 0;
        GetWindowThreadProcessId(parent, &parentProcess);
        if (!(style & WS_VISIBLE) || (style & WS_MINIMIZE) || parentProcess != process)
            return window;
        window = parent;
    }
}

} // namespace

void SetFinderHighlight(HWND window)
{
    if (window == g_highlightedWindow)
        return;
    if (g_highlightedWindow)
        DrawFinderFrame(g_highlightedWindow);
    if (window)
        DrawFinderFrame(window);
    g_highlightedWindow = window;
}

HWND FinderHighlight()
{
    return g_highlightedWindow;
}

namespace {

// The Finder's own cursor, loaded once; the arrow where the resource is missing.
HCURSOR FinderCursor()
{
    static HCURSOR cursor;
    if (!cursor)
        cursor = LoadCursorA(g_instance, MAKEINTRESOURCEA(IDC_FINDER));
    return cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW);
}

} // namespace

LRESULT OnFinderBeginDrag(HWND window, NMHDR *header)
{
    if (g_finderActive || header->idFrom != static_cast<UINT_PTR>(kToolbarId) ||
        reinterpret_cast<NMTOOLBARA *>(header)->iItem != IDM_FINDER)
        return 0;
    // The toolbar still holds the press: end it there, and keep the button drawn down.
    POINT cursor;
    GetCursorPos(&cursor);
    RECT toolbar = {};
    GetWindowRect(MainToolbar(), &toolbar);
    SendMessageA(MainToolbar(), WM_LBUTTONUP, 0,
                 MAKELPARAM(cursor.x - toolbar.left, cursor.y - toolbar.top));
    SendMessageA(MainToolbar(), TB_PRESSBUTTON, IDM_FINDER, MAKELPARAM(TRUE, 0));
    RefreshMain();
    g_savedCapture = SetCapture(window);
    g_savedCursor = SetCursor(FinderCursor());
    g_finderActive = true;
    return 0;
}

LRESULT OnFinderMouseMove(HWND, UINT, WPARAM, LPARAM)
{
    // Without a drag there is no frame to move; one drawn now would never be erased.
    if (!g_finderActive)
        return 0;
    POINT cursor;
    GetCursorPos(&cursor);
    const HWND under = WindowFromPoint(cursor);
    if (!g_highlightedWindow && under == MainToolbar())
        return 0;
    SetFinderHighlight(under ? OutermostWindowOfProcess(under) : nullptr);
    return 0;
}

LRESULT OnFinderButtonUp(HWND, UINT, WPARAM, LPARAM)
{
    if (!g_finderActive)
        return 0;
    const bool hadWindow = g_highlightedWindow != nullptr;
    bool found = false;
    if (hadWindow) {
        DWORD process = 0;
        GetWindowThreadProcessId(g_highlightedWindow, &process);
        found = SelectProcessById(process);
    }
    SetFinderHighlight(nullptr);
    if (g_savedCapture)
        SetCapture(g_savedCapture);
    else
        ReleaseCapture();
    g_savedCapture = nullptr;
    SetCursor(g_savedCursor);
    SendMessageA(MainToolbar(), TB_PRESSBUTTON, IDM_FINDER, MAKELPARAM(FALSE, 0));
    g_finderActive = false;
    if (hadWindow && !found)
        ShowResMessage(g_mainWindow, IDS_FINDER_NO_PROCESS, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}
