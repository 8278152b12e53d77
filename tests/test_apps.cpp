// The applications view opened for real from its command, with a real child's titled window on
// the screen, and driven from inside its modal loop.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/save.h"
#include "fixtures.h"
#include "resource.h"
#include "views/apps.h"

namespace {

// Text, process and selected state of the list's items, as "text (process)" or "text (process)*".
std::vector<std::string> Items(HWND list, int *image = nullptr, DWORD ofProcess = 0)
{
    std::vector<std::string> items;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        char text[128] = "";
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
        item.iItem = row;
        item.stateMask = LVIS_SELECTED;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ListView_GetItem(list, &item);
        if (image && static_cast<DWORD>(item.lParam) == ofProcess)
            *image = item.iImage;
        items.push_back(std::string(text) + " (" + std::to_string(item.lParam) + ")" +
                        (item.state & LVIS_SELECTED ? "*" : ""));
    }
    return items;
}

class AppsView : public kvtest::ViewTest {
protected:
    AppsView() : ViewTest(OnApplicationsCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_apps.exe", "--window \"KvApps Test\""));
        ASSERT_TRUE(kvtest::PumpUntil([] { return FindWindowA(nullptr, "KvApps Test"); }, 5000));
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
        mine_ = "KvApps Test (" + std::to_string(child_.Id()) + ")";
    }
    std::string mine_;
};

// The window is listed once, selected as its process is in the main list. F5 refills from the
// main list's current selection (none by then) without duplicates, and with the save file open
// writes one line per item in list order.
TEST_F(AppsView, ListsTheChildsWindowAndSavesEveryItemOnRefill)
{
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    const std::string file = std::string(path) + "kv_apps_save.txt";
    std::vector<std::string> before, after;
    int image = -1;
    Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_APPS_LIST);
        before = Items(list, &image, child_.Id());
        host_->Select(-1);
        g_saveFile = std::fopen(file.c_str(), "w");
        SendMessageA(list, WM_KEYDOWN, VK_F5, 0);
        after = Items(list);
    });
    EXPECT_EQ(1, std::count(before.begin(), before.end(), mine_ + "*"));
    EXPECT_GE(image, 0);
    EXPECT_EQ(1, std::count(after.begin(), after.end(), mine_));
    EXPECT_FALSE(g_saveFile);
    std::vector<std::string> saved;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        saved.push_back(line.compare(0, 2, " (") ? line : "(Untitled)" + line);
    EXPECT_EQ(after, saved);
    in.close();
    DeleteFileA(file.c_str());
}

// A click selects the window's process in the main list; a double click also brings it to the
// front and then gives the activation back to the view, not to the main window under it: also
// when the chosen window is that main window itself.
TEST_F(AppsView, ClickingAWindowSelectsItsProcessAndDoubleClickingLeavesTheViewActive)
{
    host_->Select(-1);
    ShowWindow(GetParent(host_->List()), SW_SHOWNOACTIVATE); // visible, as the main window is
    HWND shown = nullptr;
    std::vector<HWND> active;
    Run([&](HWND view) {
        shown = view;
        HWND list = GetDlgItem(view, IDC_APPS_LIST);
        auto pointAt = [&](DWORD processId) { // on the label of the process's first window
            LVFINDINFOA find = {LVFI_PARAM, nullptr, static_cast<LPARAM>(processId), {}, 0};
            const int row = static_cast<int>(SendMessageA(
                list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
            RECT rect = {LVIR_LABEL, 0, 0, 0};
            SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
            return MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
        };
        const LPARAM at = pointAt(child_.Id());
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(list, WM_LBUTTONUP, 0, at);
        kvtest::Pump();
        EXPECT_EQ(host_->FindRow(child_.Id()),
                  ListView_GetNextItem(host_->List(), -1, LVNI_SELECTED));

        for (LPARAM target : {at, pointAt(GetCurrentProcessId())}) {
            SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, target);
            SendMessageA(list, WM_LBUTTONUP, 0, target);
            kvtest::Pump(); // the posted double click switches to the window and back
            HWND now = nullptr;
            kvtest::PumpUntil([&] { return (now = GetForegroundWindow()) == view; }, 1000);
            active.push_back(now);
        }
    });
    EXPECT_EQ(std::vector<HWND>(2, shown), active);
}

TEST(AppsIcon, AWindowWithoutAnIconShowsTheSystemsApplicationIcon)
{
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "KvNoIcon";
    RegisterClassA(&type);
    HWND window = CreateWindowA("KvNoIcon", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                type.hInstance, nullptr);
    ASSERT_TRUE(window);
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), WindowSmallIcon(window));
    DestroyWindow(window);
    UnregisterClassA("KvNoIcon", type.hInstance);
}

} // namespace
