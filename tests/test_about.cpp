// The About box opened for real from its command, and the help file's path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "actions/about.h"
#include "app/mainwnd.h"
#include "fixtures.h"

namespace {

TEST(About, ShowsItsPictureAndClosesOnEnterAndEscape)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    kvtest::ListHost host;
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        bool hasPicture = false, closed = false;
        ASSERT_TRUE(kvtest::RunMainCommand(host, OnAboutCommand, [&](HWND dialog) {
            for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                hasPicture = hasPicture || SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0);
            MSG press = {dialog, WM_KEYDOWN, key, 0, 0, {0, 0}};
            IsDialogMessageA(dialog, &press); // as the modal loop does with a key
            closed = IsWindowEnabled(g_mainWindow);
            if (!closed)
                SendMessageA(dialog, WM_CLOSE, 0, 0);
        }));
        EXPECT_TRUE(hasPicture);
        EXPECT_TRUE(closed) << "key " << key;
    }
}

TEST(HelpPath, ReplacesOnlyTheFileNamesExtension)
{
    char help[MAX_PATH + 8];
    const char *cases[][2] = {{"C:\\Tools\\kelvane.exe", "C:\\Tools\\kelvane.hlp"},
                              {"C:\\My.Tools\\kelvane", "C:\\My.Tools\\kelvane.hlp"},
                              {"kelvane", "kelvane.hlp"}};
    for (const auto &c : cases) {
        ASSERT_TRUE(MakeHelpPath(c[0], help, sizeof help));
        EXPECT_STREQ(c[1], help);
    }
    const std::string full = "C:\\" + std::string(MAX_PATH - 4, 'x'); // fills the module buffer
    EXPECT_FALSE(MakeHelpPath(full.c_str(), help, MAX_PATH));
    EXPECT_STREQ("", help);
}

} // namespace
