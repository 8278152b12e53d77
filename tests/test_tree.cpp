// The process tree built from the record chain, the tree view opened for real over real
// processes, and the Finder dropped on real windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "actions/finder.h"
#include "app/mainwnd.h"
#include "app/processlist.h"
#include "app/save.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/tree.h"

namespace {

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, (LPARAM)item));
}

std::string Text(HWND tree, HTREEITEM item)
{
    char text[MAX_PATH];
    GetTreeItemText(tree, item, text, sizeof text);
    return text;
}

int SelectedRow()
{
    return static_cast<int>(SendMessageA(g_processList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
}

class TreeFill : public kvtest::ListTest {};

TEST_F(TreeFill, PlacesEveryRecordOnceUnderItsOlderParentAndSavesIndentedLines)
{
    ASSERT_NO_FATAL_FAILURE(OpenList());
    const HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 200, 200,
                                      GetParent(host_->List()), nullptr, nullptr, nullptr);
    InsertTreeItem(tree, TVI_ROOT, false, "kept", 0);
    EXPECT_EQ(1, FillProcessTree(tree, 0));
    EXPECT_EQ(1, SendMessageA(tree, TVM_GETCOUNT, 0, 0)) << "no records: the tree stays as it was";

    // Added oldest first. d is its own parent and has no row; e's parent is newer than e.
    const std::string longName(MAX_PATH - 1, 'x');
    const struct { DWORD id, parentId; const char *name; DWORD flags; } records[] = {
        {10, 0, "a", 0}, {20, 10, "b", 0}, {30, 20, "c", 0}, {40, 40, "d", RecordNoDetails},
        {50, 60, "e", 0}, {60, 0, "f", 0}, {11, 10, "g", 0}, {70, 0, longName.c_str(), 0}};
    for (const auto &r : records) {
        ProcessRecord record = {};
        record.flags = r.flags, record.id = r.id, record.parentId = r.parentId;
        lstrcpynA(record.name, r.name, MAX_PATH);
        AddOrUpdateProcess(host_->List(), &record);
    }
    const bool savedHex = g_settings.hexProcessId;
    g_settings.hexProcessId = false;
    auto savedLines = [&] { // fills the tree selecting c, and returns what it saved
        std::vector<std::string> lines;
        g_saveFile = std::tmpfile();
        if (!g_saveFile)
            return lines;
        EXPECT_EQ(1, FillProcessTree(tree, 30));
        char line[2 * MAX_PATH];
        for (std::rewind(g_saveFile); std::fgets(line, sizeof line, g_saveFile);)
            lines.push_back(std::string(line, std::strcspn(line, "\n")));
        std::fclose(g_saveFile);
        g_saveFile = nullptr;
        return lines;
    };
    const std::string longLabel = longName.substr(0, MAX_PATH - 6) + " (70)"; // name cut, not id
    const std::vector<std::string> expected = {
        "a (10)", "  b (20)", "    c (30)", "  g (11)", "d (40)", "e (50)", "f (60)", longLabel};
    EXPECT_EQ(expected, savedLines());
    EXPECT_EQ(8, SendMessageA(tree, TVM_GETCOUNT, 0, 0));
    EXPECT_EQ("c (30)", Text(tree, Next(tree, nullptr, TVGN_CARET)));

    // A module-usage filter hides a and b; by the pass that clears it a has ended and another
    // process has its identifier. b comes back with its age, but not under that newer process.
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (record->id == 10 || record->id == 20)
            record->flags |= RecordExcluded;
    RemoveStaleItems(host_->List());
    const struct { DWORD id, parentId; const char *name; } comeback[] = {{20, 10, "b"}, {10, 0, "a2"}};
    for (const auto &r : comeback) {
        ProcessRecord record = {};
        record.id = r.id, record.parentId = r.parentId;
        lstrcpynA(record.name, r.name, MAX_PATH);
        AddOrUpdateProcess(host_->List(), &record);
    }
    g_settings.hexProcessId = savedHex;
    const std::vector<std::string> after = {"b (20)", "  c (30)", "d (40)", "e (50)", "f (60)",
                                            "g (11)", longLabel, "a2 (10)"};
    EXPECT_EQ(after, savedLines());
}

class TreeView : public kvtest::ViewTest {
protected:
    TreeView() : ViewTest(OnProcessTreeCommand) {}
};

TEST_F(TreeView, ShowsAChildUnderThisProcessAfterAFilterAndSelectsTheChosenItemsProcess)
{
    RefreshProcessList(host_->List()); // this process is recorded before its child
    ASSERT_TRUE(child_.Start("kvtest_tree.exe"));
    RefreshProcessList(host_->List());
    // A module-usage filter that keeps only the child's row, as choosing its executable does;
    // the refresh below clears it. The processes it hid are still older than the child.
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (record->id != child_.Id())
            record->flags |= RecordExcluded;
    RemoveStaleItems(host_->List());
    ASSERT_EQ(1, host_->RowCount());
    for (bool hex : {false, true}) {
        g_settings.hexProcessId = hex;
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
        const int selfRow = host_->FindRow(GetCurrentProcessId());
        char childLabel[MAX_PATH], selfLabel[MAX_PATH];
        const char *format = hex ? "%s (%lx)" : "%s (%lu)";
        std::snprintf(childLabel, MAX_PATH, format, "kvtest_tree.exe", child_.Id());
        std::snprintf(selfLabel, MAX_PATH, format, host_->RecordOfRow(selfRow)->name,
                      GetCurrentProcessId());
        bool frozen = false;
        std::string caret, parent;
        int rowOfParent = -1;
        ASSERT_TRUE(Run([&](HWND view) {
            const HWND tree = GetDlgItem(view, IDC_PROCESSTREE_TREE);
            frozen = g_listFrozen;
            const HTREEITEM item = Next(tree, nullptr, TVGN_CARET); // the main list's process
            const HTREEITEM up = Next(tree, item, TVGN_PARENT);
            caret = Text(tree, item);
            parent = Text(tree, up);
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(up));
            rowOfParent = SelectedRow();
        }));
        EXPECT_TRUE(frozen && !g_listFrozen) << "the main list is held only while the tree shows";
        EXPECT_EQ(childLabel, caret);
        EXPECT_EQ(selfLabel, parent);
        EXPECT_EQ(selfRow, rowOfParent);
    }
}

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
        EXPECT_EQ(i ? -1 : host.FindRow(children[0].Id()), SelectedRow());
        EXPECT_EQ(i ? "Cannot access process which matches selected window" : "", message);
    }
}

} // namespace
