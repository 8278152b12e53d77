// The process tree built from the record chain, and the tree view opened for real over real
// processes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/mainwnd.h"
#include "core/processlist.h"
#include "core/save.h"
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

class TreeFill : public kvtest::ListTest {};

TEST_F(TreeFill, PlacesEveryRecordOnceUnderItsOlderParentAndSavesIndentedLines)
{
    ASSERT_NO_FATAL_FAILURE(OpenList());
    const HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 200, 200,
                                      GetParent(host_->List()), nullptr, nullptr, nullptr);
    InsertTreeItem(tree, TVI_ROOT, false, "kept", 0);
    TreeItems items;
    EXPECT_EQ(1, FillProcessTree(tree, ProcessRef{}, &items));
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
        AddOrUpdateProcess(&record);
    }
    const bool savedHex = g_settings.hexProcessId;
    g_settings.hexProcessId = false;
    auto savedLines = [&] { // fills the tree selecting c, and returns what it saved
        std::vector<std::string> lines;
        g_saveFile = std::tmpfile();
        if (!g_saveFile)
            return lines;
        EXPECT_EQ(1, FillProcessTree(tree, ProcessRef{30, KindProcess, 0}, &items));
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
    ShowRows(host_->List());
    const struct { DWORD id, parentId; const char *name; } comeback[] = {{20, 10, "b"}, {10, 0, "a2"}};
    for (const auto &r : comeback) {
        ProcessRecord record = {};
        record.id = r.id, record.parentId = r.parentId;
        lstrcpynA(record.name, r.name, MAX_PATH);
        AddOrUpdateProcess(&record);
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

// Choosing an item selects its process in the main list; F5 then still selects the process the
// view was opened for.
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
    ShowRows(host_->List());
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
        std::string caret, parent, caretAfterF5;
        int rowOfParent = -1;
        DWORD selectedAfterF5 = 0;
        ASSERT_TRUE(Run([&](HWND view) {
            const HWND tree = GetDlgItem(view, IDC_PROCESSTREE_TREE);
            frozen = g_listFrozen;
            const HTREEITEM item = Next(tree, nullptr, TVGN_CARET); // the main list's process
            const HTREEITEM up = Next(tree, item, TVGN_PARENT);
            caret = Text(tree, item);
            parent = Text(tree, up);
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(up));
            rowOfParent = host_->SelectedRow();
            SendMessageA(tree, WM_KEYDOWN, VK_F5, 0);
            caretAfterF5 = Text(tree, Next(tree, nullptr, TVGN_CARET));
            const int row = host_->SelectedRow();
            selectedAfterF5 = row >= 0 ? host_->RecordOfRow(row)->id : 0;
        }));
        EXPECT_TRUE(frozen && !g_listFrozen) << "the main list is held only while the tree shows";
        EXPECT_EQ(childLabel, caret);
        EXPECT_EQ(selfLabel, parent);
        EXPECT_EQ(selfRow, rowOfParent);
        EXPECT_EQ(childLabel, caretAfterF5);
        EXPECT_EQ(GetCurrentProcessId(), selectedAfterF5);
    }
}

} // namespace
