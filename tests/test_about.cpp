// The About box opened for real from its command, every dialog's fit to its screen and to its
// texts, and the help file's path.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/about.h"
#include "app/mainwnd.h"
#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/dpi.h"
#include "core/sysapi.h"
#include "fixtures.h"
#include "resource.h"

namespace {

// The About box shows its picture at the screen's DPI, fits the work area of its screen, and
// closes on Enter and Escape.
TEST(About, ShowsItsPictureFitsTheScreenAndClosesOnEnterAndEscape)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    kvtest::ListHost host;
    HBITMAP drawn = LoadBitmapA(g_instance, MAKEINTRESOURCEA(IDB_ABOUT));
    BITMAP original = {};
    ASSERT_TRUE(GetObjectA(drawn, sizeof original, &original));
    DeleteObject(drawn);
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        bool hasPicture = false, closed = false;
        ASSERT_TRUE(kvtest::RunMainCommand(host, OnAboutCommand, [&](HWND dialog) {
            for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                BITMAP shown = {};
                if (!GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                                sizeof shown, &shown))
                    continue;
                hasPicture = true;
                EXPECT_EQ(shown.bmWidth, ScaleFrom96(original.bmWidth, ScreenDpi(dialog)));
                EXPECT_EQ(shown.bmHeight, ScaleFrom96(original.bmHeight, ScreenDpi(dialog)));
            }
            RECT rect, work = ScreenWorkArea(dialog), inside;
            GetWindowRect(dialog, &rect);
            IntersectRect(&inside, &rect, &work);
            EXPECT_TRUE(EqualRect(&inside, &rect)) << rect.right << "x" << rect.bottom;
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

// A window too large or too far out is moved the least and shrunk to the work area.
TEST(About, WindowsAreFittedIntoTheWorkArea)
{
    const RECT work = {0, 0, 1280, 984};
    const RECT cases[][2] = {
        {{20, 20, 500, 400}, {20, 20, 500, 400}},        // inside: untouched
        {{100, 60, 1588, 1058}, {0, 0, 1280, 984}},      // larger both ways
        {{900, 700, 1394, 1000}, {786, 684, 1280, 984}}, // off the right and bottom
        {{-300, -50, 994, 350}, {0, 0, 1280, 400}},      // wider, off the left and top
    };
    for (const auto &c : cases) {
        const RECT fitted = FittedWindowRect(c[0], work);
        EXPECT_TRUE(EqualRect(&fitted, &c[1])) << fitted.left << "," << fitted.top;
    }
}

// A dialog template of the program with its font's point size multiplied by dpi/96: at 96 dpi
// it lays out as on a screen of that DPI (text and dialog units follow the font's pixels).
std::vector<WORD> TemplateAtDpi(const char *name, int dpi)
{
    HRSRC found = FindResourceA(g_instance, name, RT_DIALOG);
    const WORD *start = static_cast<const WORD *>(LockResource(LoadResource(g_instance, found)));
    std::vector<WORD> copy(start, start + SizeofResource(g_instance, found) / sizeof(WORD));
    size_t at = 9; // past the fixed header of a DIALOG template, then menu, class and caption
    for (int field = 0; field < 3; ++field)
        at = copy[at] == 0xFFFF ? at + 2 : std::find(copy.begin() + at, copy.end(), 0) - copy.begin() + 1;
    if (MAKELONG(copy[0], copy[1]) & DS_SETFONT)
        copy[at] = static_cast<WORD>(copy[at] * dpi / 96);
    return copy;
}

BOOL CALLBACK CollectDialogName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    reinterpret_cast<std::vector<LPSTR> *>(names)->push_back(name); // all of ours are numbers
    return TRUE;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Whether a label's, check box's, radio button's, button's or group box's text fits the control
// in its font: a button's box, frame or title margins take their room from it.
bool TextFits(HWND control)
{
    char cls[32] = "", text[512] = "";
    GetClassNameA(control, cls, sizeof cls);
    GetWindowTextA(control, text, sizeof text);
    const LONG style = GetWindowLongA(control, GWL_STYLE), type = style & SS_TYPEMASK;
    const bool label = !lstrcmpiA(cls, "Static") && (type <= SS_RIGHT || type == SS_LEFTNOWORDWRAP);
    if ((!label && lstrcmpiA(cls, "Button")) || !text[0])
        return true;
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, client.right, 0};
    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | (label && type != SS_LEFTNOWORDWRAP ? DT_WORDBREAK : DT_SINGLELINE));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    const LONG kind = style & BS_TYPEMASK;
    const bool box = !label && kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON && kind != BS_GROUPBOX;
    const int taken = label ? 0 : box ? GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2
                                      : 2 * metrics.tmAveCharWidth;
    return needed.right + taken <= client.right && (!label || needed.bottom <= client.bottom);
}

// Every label and button of every dialog shows its whole text on screens of 96, 144 and 192 dpi.
TEST(About, EveryDialogsLabelsFitTheirTextAtEveryScale)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    std::vector<LPSTR> names;
    EnumResourceNamesA(g_instance, RT_DIALOG, CollectDialogName, reinterpret_cast<LONG_PTR>(&names));
    ASSERT_GT(names.size(), 10u);
    for (int dpi : {96, 144, 192})
        for (LPSTR name : names) {
            const std::vector<WORD> dialogTemplate = TemplateAtDpi(name, dpi);
            HWND dialog = CreateDialogIndirectParamA(
                g_instance, reinterpret_cast<const DLGTEMPLATE *>(dialogTemplate.data()), nullptr, PlainDialog, 0);
            ASSERT_NE(dialog, nullptr);
            for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                EXPECT_TRUE(TextFits(c)) << kvtest::WindowText(c) << " in dialog "
                                         << reinterpret_cast<ULONG_PTR>(name) << " at " << dpi;
            DestroyWindow(dialog);
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
