// The process table on its own, with no window: how readings merge into records and rows, and
// the parent rule.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/processtable.h"
#include "core/rowfilter.h"
#include "fixtures.h"

namespace {

ProcessRecord Reading(DWORD id, const char *name, ULONGLONG started = 0, DWORD parent = 0,
                      DWORD flags = 0)
{
    ProcessRecord record = {};
    record.id = id;
    record.parentId = parent;
    record.createTime = started;
    record.flags = flags;
    lstrcpynA(record.name, name, MAX_PATH);
    return record;
}

std::vector<DWORD> RowIds()
{
    std::vector<DWORD> ids;
    for (int row = 0; row < RowCount(); ++row)
        ids.push_back(RecordAt(row) ? RecordAt(row)->id : 0);
    return ids;
}

std::vector<int> RowDepths()
{
    std::vector<int> depths;
    for (int row = 0; row < RowCount(); ++row)
        depths.push_back(RecordAt(row) ? RecordAt(row)->depth : -1);
    return depths;
}

class ProcessTable : public testing::Test {
protected:
    void SetUp() override
    {
        SelectColumnSet(true);
        ForgetAllRecords();
        KeepEndedProcesses(false);
        g_sortColumn = 0;
        g_sortDirection = 1;
    }
    void TearDown() override
    {
        SetTreeMode(false);
        SetRowFilter(nullptr);
        ForgetAllRecords();
        KeepEndedProcesses(false);
    }
};

TEST_F(ProcessTable, PassesMergeIntoRecordsAndSortedRows)
{
    const struct {
        const char *what;
        std::vector<ProcessRecord> reading;
        std::vector<DWORD> rows;
        int records;
    } passes[] = {
        {"a first fill sorts by name",
         {Reading(3, "c", 300), Reading(1, "a", 100), Reading(2, "b", 200)}, {1, 2, 3}, 3},
        {"one identity twice in a reading is one record",
         {Reading(1, "a", 100), Reading(2, "b", 200), Reading(3, "c", 300), Reading(4, "d", 400),
          Reading(4, "d", 400)},
         {1, 2, 3, 4}, 4},
        {"an identifier reused by a process started later replaces its record",
         {Reading(1, "a", 100), Reading(2, "z", 500), Reading(3, "c", 300), Reading(4, "d", 400)},
         {1, 3, 4, 2}, 4},
        {"a process without details is kept without a row",
         {Reading(1, "a", 100), Reading(2, "z", 500), Reading(3, "c", 300), Reading(4, "d", 400),
          Reading(5, "", 600, 0, RecordNoDetails)},
         {1, 3, 4, 2}, 5},
        {"once readable it gets its sorted row",
         {Reading(1, "a", 100), Reading(2, "z", 500), Reading(3, "c", 300), Reading(4, "d", 400),
          Reading(5, "e", 600)},
         {1, 3, 4, 5, 2}, 5},
        {"an empty reading forgets every process", {}, {}, 0},
    };
    const ProcessRef firstB = {2, KindProcess, 200};
    for (const auto &pass : passes) {
        MergeProcesses(pass.reading);
        ArrangeRows();
        EXPECT_EQ(pass.rows, RowIds()) << pass.what;
        EXPECT_EQ(pass.records, kvtest::CountRecords()) << pass.what;
        if (&pass == &passes[1]) {
            EXPECT_NE(nullptr, FindReferencedProcess(firstB));
            EXPECT_TRUE(FindProcessRecord(4, KindProcess)->flags & RecordNew);
            EXPECT_FALSE(FindProcessRecord(1, KindProcess)->flags & RecordNew) << "first fill";
        }
        if (&pass == &passes[2]) {
            EXPECT_EQ(nullptr, FindReferencedProcess(firstB));
        }
    }

    // A priority change leaves the row in place while Name is sorted; a sort puts it in order.
    const int priorityColumn = FindColumn(ColumnPriority);
    MergeProcesses({Reading(1, "a", 100), Reading(2, "b", 200)});
    ArrangeRows();
    g_sortColumn = priorityColumn;
    RequestSort();
    ArrangeRows();
    ProcessRecord higher = Reading(1, "a", 100);
    higher.priorityClass = HIGH_PRIORITY_CLASS;
    MergeProcesses({higher, Reading(2, "b", 200)});
    EXPECT_FALSE(ArrangeRows());
    EXPECT_EQ((std::vector<DWORD>{1, 2}), RowIds());
    RequestSort();
    EXPECT_TRUE(ArrangeRows());
    EXPECT_EQ((std::vector<DWORD>{2, 1}), RowIds());

    // Ended processes kept: a shown process a pass misses keeps its row, marked ended and no
    // longer counted or referable, for two passes and two seconds; then it leaves. An identifier
    // met again while its row shows ended names a later process, even with no start times.
    KeepEndedProcesses(true);
    g_sortColumn = 0;
    RequestSort();
    MergeProcesses({Reading(1, "a", 100), Reading(2, "b", 200), Reading(3, "c", 0)});
    ArrangeRows();
    const ProcessRef b = {2, KindProcess, 200};
    const struct {
        const char *what;
        DWORD waitMs;
        std::vector<DWORD> rows;
        bool bEnded;
    } ending[] = {
        {"the pass that misses it", 0, {1, 2, 3}, true},
        {"one pass on", 0, {1, 2, 3}, true},
        {"two passes, not yet two seconds", 0, {1, 2, 3}, true},
        {"two seconds on, it leaves", 2100, {1, 3}, false},
    };
    for (const auto &pass : ending) {
        Sleep(pass.waitMs);
        MergeProcesses({Reading(1, "a", 100), Reading(3, "c", 0)});
        ArrangeRows();
        EXPECT_EQ(pass.rows, RowIds()) << pass.what;
        const ProcessRecord *record = FindProcessRecord(2, KindProcess);
        EXPECT_EQ(pass.bEnded, record && (record->flags & RecordEnded)) << pass.what;
        EXPECT_EQ(nullptr, FindReferencedProcess(b)) << pass.what;
        EXPECT_EQ(2, CountLiveRows()) << pass.what;
        EXPECT_EQ(2, CountFilterableRecords()) << pass.what;
    }
    MergeProcesses({Reading(1, "a", 100)});
    ArrangeRows();
    ASSERT_TRUE(FindProcessRecord(3, KindProcess)->flags & RecordEnded);
    MergeProcesses({Reading(1, "a", 100), Reading(3, "later", 0)});
    ArrangeRows();
    const ProcessRecord *later = FindProcessRecord(3, KindProcess);
    ASSERT_NE(nullptr, later);
    EXPECT_FALSE(later->flags & RecordEnded);
    EXPECT_STREQ("later", later->name);
    EXPECT_EQ((std::vector<DWORD>{1, 3}), RowIds());
}

TEST_F(ProcessTable, LargeAndEmptyReadingsKeepOneRecordPerProcess)
{
    g_sortColumn = FindColumn(ColumnId); // numbers sort without the locale's text compare
    std::vector<ProcessRecord> reading;
    for (DWORD i = 0; i < 65536; ++i)
        reading.push_back(Reading(65536 * 4 - 4 * i, "p", 1000 + i));
    for (int pass = 0; pass < 2; ++pass) {
        const TableChanges changes = MergeProcesses(reading);
        EXPECT_EQ(pass == 0 ? 65536 : 0, changes.added);
        ArrangeRows();
        ASSERT_EQ(65536, RowCount());
        EXPECT_EQ(4u, RecordAt(0)->id);
        EXPECT_EQ(65536u * 4, RecordAt(65535)->id);
    }
    EXPECT_EQ(65536, MergeProcesses({}).removed);
    EXPECT_TRUE(ArrangeRows());
    EXPECT_EQ(0, RowCount());
    EXPECT_EQ(nullptr, RecordAt(0));
}

TEST_F(ProcessTable, ParentStartedNoLaterThanItsChildOrOlderInTheChain)
{
    // Oldest first: the order the table meets them in.
    MergeProcesses({
        Reading(10, "parent", 100), Reading(11, "child", 200, 10),
        Reading(21, "orphan", 250, 20), Reading(20, "reused", 300),  // its parent id came later
        Reading(30, "old", 0), Reading(31, "young", 0, 30),         // times unknown: chain order
        Reading(32, "w", 0, 33), Reading(33, "x", 0, 32),           // each names the other
        Reading(40, "self", 400, 40), Reading(50, "twin", 500, 51), Reading(51, "twin2", 500, 50),
    });
    const struct {
        DWORD id, parent; // 0: a root
    } expected[] = {{11, 10}, {10, 0}, {21, 0}, {31, 30}, {33, 32}, {32, 0},
                    {40, 0},  {50, 0}, {51, 50}};
    for (const auto &e : expected) {
        const ProcessRecord *parent = ParentOf(FindProcessRecord(e.id, KindProcess));
        EXPECT_EQ(e.parent, parent ? parent->id : 0u) << e.id;
    }
    EXPECT_EQ(nullptr, ParentOf(nullptr));

    // A tree is ended children first, and a reused identifier adopts nobody into it.
    const auto treeIds = [](DWORD root) {
        std::vector<DWORD> ids;
        for (const ProcessRecord *record : ProcessTreeOf({FindProcessRecord(root, KindProcess)}))
            ids.push_back(record->id);
        return ids;
    };
    MergeProcesses({Reading(10, "parent", 100), Reading(11, "child", 200, 10),
                    Reading(12, "grandchild", 300, 11), Reading(21, "orphan", 250, 20),
                    Reading(20, "reused", 300)});
    EXPECT_EQ((std::vector<DWORD>{12, 11, 10}), treeIds(10));
    EXPECT_EQ((std::vector<DWORD>{20}), treeIds(20));

    // Known and unknown start times mixed can close a circle; walking up still ends.
    MergeProcesses({Reading(62, "z", 2, 60), Reading(61, "y", 0, 62), Reading(60, "x", 1, 61)});
    const ProcessRecord *x = FindProcessRecord(60, KindProcess);
    const ProcessRecord *y = FindProcessRecord(61, KindProcess);
    const ProcessRecord *z = FindProcessRecord(62, KindProcess);
    ASSERT_EQ(y, ParentOf(x));
    ASSERT_EQ(z, ParentOf(y));
    ASSERT_EQ(x, ParentOf(z));
    EXPECT_TRUE(HasAncestor(z, y));
    EXPECT_FALSE(HasAncestor(x, FindProcessRecord(10, KindProcess)));
    EXPECT_FALSE(HasAncestor(x, nullptr));
    EXPECT_EQ(3u, ProcessTreeOf({const_cast<ProcessRecord *>(x)}).size());

    // As rows of the tree, the circle hangs below the one of it met first, each process once.
    SetTreeMode(true);
    ArrangeRows();
    EXPECT_EQ((std::vector<DWORD>{62, 61, 60}), RowIds());
    EXPECT_EQ((std::vector<int>{0, 1, 2}), RowDepths());
}

TEST_F(ProcessTable, TreeRowsStandBelowTheirParentsSortedClosedAndFiltered)
{
    const auto show = [] {
        ArrangeRows();
        return std::make_pair(RowIds(), RowDepths());
    };
    using Rows = std::pair<std::vector<DWORD>, std::vector<int>>;
    SetTreeMode(true);
    MergeProcesses({Reading(1, "a", 10), Reading(2, "c", 20, 1), Reading(3, "b", 30, 1),
                    Reading(4, "d", 40, 3), Reading(5, "e", 50), Reading(6, "f", 60, 5),
                    Reading(7, "g", 70, 7)}); // names itself as parent: a root
    EXPECT_EQ(Rows({1, 3, 4, 2, 5, 6, 7}, {0, 1, 2, 1, 0, 1, 0}), show());
    g_sortDirection = -1;
    RequestSort();
    EXPECT_EQ(Rows({7, 5, 6, 1, 2, 3, 4}, {0, 0, 1, 0, 1, 1, 2}), show());
    g_sortDirection = 1;
    RequestSort();

    // A closed branch stays closed at the next pass, and takes its new child in with it.
    SetCollapsed(FindProcessRecord(3, KindProcess), true);
    EXPECT_EQ(Rows({1, 3, 2, 5, 6, 7}, {0, 1, 1, 0, 1, 0}), show());
    MergeProcesses({Reading(1, "a", 10), Reading(2, "c", 20, 1), Reading(3, "b", 30, 1),
                    Reading(4, "d", 40, 3), Reading(5, "e", 50), Reading(6, "f", 60, 5),
                    Reading(7, "g", 70, 7), Reading(8, "h", 80, 3)});
    EXPECT_EQ(Rows({1, 3, 2, 5, 6, 7}, {0, 1, 1, 0, 1, 0}), show());
    EXPECT_TRUE(FindProcessRecord(3, KindProcess)->flags & RecordHasChildren);

    // A match shows with the processes above it, in grey; opened, the rest of its branch hides.
    SetRowFilter("h");
    RequestFilter();
    EXPECT_EQ(Rows({1, 3}, {0, 1}), show());
    ExpandAbove(FindProcessRecord(8, KindProcess));
    EXPECT_EQ(Rows({1, 3, 8}, {0, 1, 2}), show());
    EXPECT_TRUE(FindProcessRecord(1, KindProcess)->flags & RecordTreeContext);
    EXPECT_FALSE(FindProcessRecord(8, KindProcess)->flags & RecordTreeContext);

    // Flat again: only the match, and no row is marked for the tree.
    SetTreeMode(false);
    ArrangeRows();
    EXPECT_EQ((std::vector<DWORD>{8}), RowIds());
    EXPECT_FALSE(FindProcessRecord(1, KindProcess)->flags & (RecordTreeContext | RecordHasChildren));
    SetRowFilter(nullptr);
    RequestFilter();

    // A chain as long as there are processes: every one of them, one level below the last.
    std::vector<ProcessRecord> chain;
    for (DWORD i = 1; i <= 10000; ++i)
        chain.push_back(Reading(i * 4, "p", i, (i - 1) * 4));
    MergeProcesses(chain);
    SetTreeMode(true);
    ArrangeRows();
    ASSERT_EQ(10000, RowCount());
    EXPECT_EQ(40000u, RecordAt(9999)->id);
    EXPECT_EQ(9999, RecordAt(9999)->depth);
}

} // namespace
