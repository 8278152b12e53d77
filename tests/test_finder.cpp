// The Finder dropped on real windows of child processes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "actions/finder.h"
#include "app/mainwnd.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"

namespace {

// Drives the Finder as the main window's mouse messages would, with the host as main window.
TEST(Finder, DropSelectsTheRowOfTheWindowsProcessOrSaysThereIsNone)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    kvtest::ListHost host;
    struct Restore { HWND saved; ~Restore() { g_mainWindow = saved; } } restore{g_mainWindow};
    g_mainWindow = GetParent(host.List());
    NMTOOLBARA notice = {};
    notice.hdr.idFrom = kToolbarId;
    notice.iItem = IDM_FINDER;
    kvtest::ChildProcess children[2];
    const char *titles[2] = {"KvFinderTarget", "KvFinderStray"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(titles[i]);
        if (i == 0) {
            ASSERT_TRUE(host.SelectProcess(GetCurrentProcessId()));
        } else {
            children[0].Kill(); // its window would cover the stray's
            OnFinderBeginDrag(g_mainWindow, &notice.hdr); // refreshes first: no row for stray
        }
        ASSERT_TRUE(children[i].Start(i ? "kvtest_finder2.exe" : "kvtest_finder.exe",
                                      (std::string("--window ") + titles[i]).c_str()));
        // The child's window is aimed at once it shows on top at its centre; a window that is
        // created but not yet shown, or still under the other child's, is not hit yet.
        HWND window = nullptr;
        POINT centre = {};
        kvtest::PumpUntil(
            [&] {
                window = FindWindowA(nullptr, titles[i]);
                RECT rect;
                if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
                    return false;
                centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
                return GetAncestor(WindowFromPoint(centre), GA_ROOT) == window;
            },
            5000);
        ASSERT_TRUE(window);
        ASSERT_EQ(window, GetAncestor(WindowFromPoint(centre), GA_ROOT));
        SetCursorPos(centre.x, centre.y);
        if (i == 0)
            OnFinderBeginDrag(g_mainWindow, &notice.hdr);
        EXPECT_EQ(g_mainWindow, GetCapture());
        OnFinderMouseMove(g_mainWindow, WM_MOUSEMOVE, 0, 0);
        EXPECT_EQ(window, FinderHighlight());
        std::string message;
        kvtest::WhileShown(
            "#32770", 0, [] { OnFinderButtonUp(g_mainWindow, WM_LBUTTONUP, 0, 0); },
            [&](HWND box) {
                message = kvtest::WindowText(GetDlgItem(box, 0xFFFF));
                SendMessageA(box, WM_COMMAND, IDOK, 0);
            });
        EXPECT_EQ(nullptr, FinderHighlight());
        EXPECT_NE(g_mainWindow, GetCapture());
        EXPECT_EQ(i ? -1 : host.FindRow(children[0].Id()), host.SelectedRow());
        EXPECT_EQ(i ? "Cannot access process which matches selected window" : "", message);
    }
}

} // namespace
