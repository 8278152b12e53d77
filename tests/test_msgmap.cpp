#include <gtest/gtest.h>

#include "core/msgmap.h"

namespace {

int g_calls[3];
WORD g_lastCode;

LRESULT First(HWND, UINT, WPARAM, LPARAM) { ++g_calls[0]; return 11; }
LRESULT Second(HWND, UINT, WPARAM, LPARAM) { ++g_calls[1]; return 22; }
LRESULT CommandA(HWND, WPARAM, WORD code, LPARAM) { g_lastCode = code; ++g_calls[2]; return 33; }

struct MapWindow {
    HWND window = CreateWindowA("STATIC", "map", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ~MapWindow() { DestroyWindow(window); }
};

} // namespace

TEST(MessageMap, FirstMatchingRowWinsAndOthersGoToDefault)
{
    const MessageEntry entries[] = {{WM_USER + 5, First}, {WM_USER + 5, Second}, {WM_USER + 6, Second}};
    const MessageMap map = {3, entries, DefaultWindow};
    MapWindow w;
    g_calls[0] = g_calls[1] = 0;
    EXPECT_EQ(DispatchMessageMap(&map, w.window, WM_USER + 5, 0, 0), 11);
    EXPECT_EQ(g_calls[0], 1);
    EXPECT_EQ(g_calls[1], 0);
    EXPECT_EQ(DispatchMessageMap(&map, w.window, WM_USER + 6, 0, 0), 22);

    // No row: DefWindowProcA answers, e.g. WM_GETTEXTLENGTH of the window's text.
    EXPECT_EQ(DispatchMessageMap(&map, w.window, WM_GETTEXTLENGTH, 0, 0), 3);
    const MessageMap silent = {3, entries, 0};
    EXPECT_EQ(DispatchMessageMap(&silent, w.window, WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST(MessageMap, CommandsCompareLowWordAndPassNotificationCode)
{
    const CommandEntry entries[] = {{40002, CommandA}};
    const CommandMap map = {1, entries, DefaultWindow};
    MapWindow w;
    g_calls[2] = 0;
    EXPECT_EQ(DispatchCommandMap(&map, w.window, MAKEWPARAM(40002, 1), 0), 33);
    EXPECT_EQ(g_lastCode, 1);
    EXPECT_EQ(DispatchCommandMap(&map, w.window, MAKEWPARAM(40002, BN_CLICKED), 0), 33);
    EXPECT_EQ(g_lastCode, BN_CLICKED);
    EXPECT_EQ(g_calls[2], 2);
    // An unknown command reaches DefWindowProcA, which ignores it.
    EXPECT_EQ(DispatchCommandMap(&map, w.window, 40003, 0), 0);
    EXPECT_EQ(g_calls[2], 2);
}
