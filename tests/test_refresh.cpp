// Refresh passes of the main list over real processes: copies of the child helper started under
// known names, changed and ended from outside between passes.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "actions/suspend.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "core/rowfilter.h"
#include "core/settings.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "resource.h"
#include "settings/columnsdlg.h"

namespace {

const int kNameColumn = 0;
const int kPriorityColumn = 2;
const int kPathColumn = 3;

class Refresh : public kvtest::ListTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DetectOs());
        ASSERT_TRUE(BindProvider());
        ASSERT_NO_FATAL_FAILURE(OpenList());
    }

    // As a click on a column header does.
    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = host_->List();
        click.hdr.idFrom = kProcessListId;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iSubItem = column;
        SortByColumn(&click.hdr);
    }

    // Every pair of neighbouring rows is in the current sort order.
    testing::AssertionResult RowsSorted()
    {
        const SortParams params = {kProcessListId, g_sortColumn, g_sortDirection};
        for (int row = 0; row + 1 < host_->RowCount(); ++row) {
            const ProcessRecord *a = host_->RecordOfRow(row);
            const ProcessRecord *b = host_->RecordOfRow(row + 1);
            if (CompareRecords(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                               reinterpret_cast<LPARAM>(&params)) > 0)
                return testing::AssertionFailure()
                       << "row " << row << " " << a->name << " before " << b->name;
        }
        return testing::AssertionSuccess();
    }
};

TEST_F(Refresh, ShowsChildrenWithParentPriorityAndPath)
{
    kvtest::ChildProcess alpha, beta;
    ASSERT_TRUE(alpha.Start("kvtest_alpha.exe"));
    ASSERT_TRUE(beta.Start("kvtest_beta.exe"));
    ASSERT_TRUE(SetPriorityClass(beta.Handle(), BELOW_NORMAL_PRIORITY_CLASS));
    Pass();

    const int alphaRow = host_->FindRow(alpha.Id());
    const int betaRow = host_->FindRow(beta.Id());
    ASSERT_LE(0, alphaRow);
    ASSERT_LE(0, betaRow);
    EXPECT_EQ("kvtest_alpha.exe", host_->CellText(alphaRow, kNameColumn));
    EXPECT_EQ("kvtest_beta.exe", host_->CellText(betaRow, kNameColumn));
    EXPECT_EQ("Normal", host_->CellText(alphaRow, kPriorityColumn));
    EXPECT_EQ("Below Normal", host_->CellText(betaRow, kPriorityColumn));
    EXPECT_EQ(0, lstrcmpiA(alpha.Path().c_str(), host_->CellText(alphaRow, kPathColumn).c_str()))
        << host_->CellText(alphaRow, kPathColumn);
    EXPECT_EQ(GetCurrentProcessId(), host_->RecordOfRow(alphaRow)->parentId);
    EXPECT_EQ(GetCurrentProcessId(), host_->RecordOfRow(betaRow)->parentId);

    // The test program itself: a drive path, and its own parent.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const int selfRow = host_->FindRow(GetCurrentProcessId());
    ASSERT_LE(0, selfRow);
    EXPECT_EQ(0, lstrcmpiA(self, host_->CellText(selfRow, kPathColumn).c_str()));
    EXPECT_TRUE(RowsSorted());
}

TEST_F(Refresh, SelectionFollowsItsProcessAndEndsWithIt)
{
    EXPECT_TRUE(GetWindowLongA(host_->List(), GWL_STYLE) & LVS_OWNERDATA);
    kvtest::ChildProcess chosen, other;
    ASSERT_TRUE(chosen.Start("kvtest_zz_chosen.exe"));
    ASSERT_TRUE(other.Start("kvtest_zz_other.exe"));
    ASSERT_TRUE(host_->SelectProcess(chosen.Id()));
    const int rows = host_->RowCount();

    // Five processes that sort above it start; two passes later it is still the one selected,
    // and after a sort by ID too.
    kvtest::ChildProcess above[5];
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(above[i].Start(("kvtest_a" + std::to_string(i) + ".exe").c_str()));
    Pass();
    Pass();
    ASSERT_EQ(rows + 5, host_->RowCount());
    ASSERT_NE(nullptr, SelectedRecord());
    EXPECT_EQ(chosen.Id(), SelectedRecord()->id);
    EXPECT_EQ(1, SendMessageA(host_->List(), LVM_GETSELECTEDCOUNT, 0, 0));
    ClickHeader(1);
    EXPECT_EQ(chosen.Id(), SelectedRecord()->id);
    EXPECT_EQ(host_->FindRow(chosen.Id()), host_->SelectedRow());

    // The selected process ends before a sort: its row goes with the next pass, and nothing is
    // selected, not the process that took its row.
    const DWORD chosenId = chosen.Id();
    ASSERT_TRUE(chosen.Kill());
    ClickHeader(kNameColumn);
    EXPECT_EQ(chosenId, SelectedRecord()->id); // no pass yet: the table still holds it
    Pass();
    EXPECT_EQ(-1, host_->FindRow(chosenId));
    EXPECT_EQ(nullptr, FindProcessRecord(chosenId, KindProcess));
    EXPECT_EQ(nullptr, SelectedRecord());
    EXPECT_EQ(-1, host_->SelectedRow());
    EXPECT_LE(0, host_->FindRow(other.Id()));
    EXPECT_EQ(rows + 4, host_->RowCount());
    EXPECT_TRUE(RowsSorted());

    // Typing the first letters of a name finds its row, as the list asks in Unicode.
    NMLVFINDITEMW find = {};
    find.hdr = {host_->List(), static_cast<UINT_PTR>(kProcessListId), LVN_ODFINDITEMW};
    find.lvfi.flags = LVFI_PARTIAL | LVFI_WRAP;
    find.lvfi.psz = L"KVTEST_ZZ_O";
    find.iStart = host_->RowCount() - 1;
    LRESULT found = -1;
    ASSERT_TRUE(AnswerListNotify(&find.hdr, &found));
    EXPECT_EQ(host_->FindRow(other.Id()), found);
}

TEST_F(Refresh, NewProcessTakesItsSortedPlaceInBothDirections)
{
    Pass();
    kvtest::ChildProcess first;
    ASSERT_TRUE(first.Start("kvtest_m1.exe"));
    Pass();
    int row = host_->FindRow(first.Id());
    ASSERT_LE(0, row);
    EXPECT_TRUE(RowsSorted());

    ClickHeader(kNameColumn); // the sorted column again: descending
    ASSERT_EQ(-1, g_sortDirection);
    kvtest::ChildProcess second;
    ASSERT_TRUE(second.Start("kvtest_m2.exe"));
    Pass();
    row = host_->FindRow(second.Id());
    ASSERT_LE(0, row);
    EXPECT_EQ(row + 1, host_->FindRow(first.Id()));
    EXPECT_TRUE(RowsSorted());
}

TEST_F(Refresh, OutsidePriorityChangeShowsWithoutMovingTheRow)
{
    kvtest::ChildProcess alpha, beta;
    ASSERT_TRUE(alpha.Start("kvtest_alpha.exe"));
    ASSERT_TRUE(beta.Start("kvtest_beta.exe"));
    ClickHeader(kPriorityColumn);
    Pass();
    const int row = host_->FindRow(alpha.Id());
    ASSERT_LE(0, row);
    ASSERT_EQ("Normal", host_->CellText(row, kPriorityColumn));
    ASSERT_TRUE(RowsSorted());

    ASSERT_TRUE(SetPriorityClass(alpha.Handle(), HIGH_PRIORITY_CLASS));
    Pass();
    EXPECT_EQ(row, host_->FindRow(alpha.Id()));
    EXPECT_EQ("High", host_->CellText(row, kPriorityColumn));
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), host_->RecordOfRow(row)->priorityClass);
    EXPECT_EQ("Normal", host_->CellText(host_->FindRow(beta.Id()), kPriorityColumn));

    // A new process goes before the first row from the top that sorts after it: here the row
    // that kept its place although it now sorts later than every Normal one, far above where
    // the new name would stand among the Normal rows.
    kvtest::ChildProcess gamma;
    ASSERT_TRUE(gamma.Start("zz_kvtest_late.exe"));
    Pass();
    EXPECT_EQ(host_->FindRow(gamma.Id()) + 1, host_->FindRow(alpha.Id()));
}

TEST_F(Refresh, HiddenRecordOfEndedProcessIsPruned)
{
    kvtest::ChildProcess alpha;
    ASSERT_TRUE(alpha.Start("kvtest_alpha.exe"));
    kvtest::HideProcessDetails();
    Pass();
    const DWORD alphaId = alpha.Id();
    const ProcessRecord *hidden = FindProcessRecord(alphaId, KindProcess);
    ASSERT_TRUE(hidden);
    ASSERT_TRUE(hidden->flags & RecordNoDetails);

    Pass(); // still hidden while it cannot be read
    EXPECT_EQ(hidden, FindProcessRecord(alphaId, KindProcess));
    EXPECT_EQ(-1, host_->FindRow(alphaId));
    const int records = kvtest::CountRecords();

    ASSERT_TRUE(alpha.Kill());
    Pass();
    EXPECT_EQ(nullptr, FindProcessRecord(alphaId, KindProcess));
    EXPECT_EQ(records - 1, kvtest::CountRecords());
}

TEST_F(Refresh, TextFilterHidesRowsKeepsRecordsAndCombinesWithTheModuleFilter)
{
    struct ClearFilter {
        ~ClearFilter() { SetRowFilter(nullptr); }
    } clearFilter;
    kvtest::ChildProcess first, other, later;
    ASSERT_TRUE(first.Start("kvtest_flt_one.exe"));
    ASSERT_TRUE(other.Start("kvtest_beta.exe"));
    Pass();
    const int rows = host_->RowCount();
    const int records = kvtest::CountRecords();
    ProcessRecord *otherRecord = FindProcessRecord(other.Id(), KindProcess);
    ASSERT_TRUE(otherRecord);

    // Regardless of case; a refresh keeps the hidden record and adds a new match in its place.
    SetRowFilter("FLT_");
    ApplyRowFilter(host_->List());
    EXPECT_LE(0, host_->FindRow(first.Id()));
    EXPECT_EQ(-1, host_->FindRow(other.Id()));
    ASSERT_TRUE(later.Start("kvtest_flt_two.exe"));
    Pass();
    EXPECT_EQ(otherRecord, FindProcessRecord(other.Id(), KindProcess));
    EXPECT_EQ(-1, host_->FindRow(other.Id()));
    EXPECT_LE(0, host_->FindRow(later.Id()));
    EXPECT_EQ(2, host_->RowCount());
    EXPECT_EQ(rows + 1, CountFilterableRecords());

    // The identifier as the list shows it matches too.
    char id[16];
    wsprintfA(id, "%lu", static_cast<unsigned long>(other.Id()));
    SetRowFilter(id);
    ApplyRowFilter(host_->List());
    EXPECT_LE(0, host_->FindRow(other.Id()));
    EXPECT_EQ(-1, host_->FindRow(later.Id()));

    // A character no code page has (Georgian) matches nothing, not the '?' that stands for such
    // characters in names; the same text in Unicode matches as it does in the code page.
    lstrcpyA(otherRecord->name, "kvtest_?eta.exe");
    SetRowFilterWide(L"\x10D0");
    ApplyRowFilter(host_->List());
    EXPECT_TRUE(RowFilterActive());
    EXPECT_EQ(0, host_->RowCount());
    SetRowFilterWide(L"?ETA");
    ApplyRowFilter(host_->List());
    EXPECT_LE(0, host_->FindRow(other.Id()));
    EXPECT_EQ(1, host_->RowCount());
    lstrcpyA(otherRecord->name, "kvtest_beta.exe");

    // A row the module filter excluded stays hidden when the text filter lets it through again;
    // the others come back in their sorted places.
    FindProcessRecord(first.Id(), KindProcess)->flags |= RecordExcluded;
    ShowRows(host_->List());
    SetRowFilter("");
    ApplyRowFilter(host_->List());
    EXPECT_EQ(-1, host_->FindRow(first.Id()));
    EXPECT_EQ(rows, host_->RowCount());
    EXPECT_TRUE(RowsSorted());

    // A filter longer than any cell hides every row and loses no record; a hidden process that
    // ends is forgotten.
    SetRowFilter(std::string(10000, 'x').c_str());
    Pass();
    EXPECT_EQ(0, host_->RowCount());
    EXPECT_EQ(records + 1, kvtest::CountRecords());
    const DWORD laterId = later.Id();
    ASSERT_TRUE(later.Kill());
    Pass();
    EXPECT_EQ(nullptr, FindProcessRecord(laterId, KindProcess));
    EXPECT_EQ(records, kvtest::CountRecords());
}

// The background the list is told to draw a row on, as the main window answers it; CLR_DEFAULT
// when the row is left as the list draws it.
COLORREF RowBackground(HWND list, const ProcessRecord *record)
{
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr = {list, static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    LRESULT result = 0;
    if (!AnswerListNotify(&draw.nmcd.hdr, &result) || !(result & CDRF_NOTIFYITEMDRAW))
        return CLR_DEFAULT;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(RowOf(record));
    draw.clrTextBk = CLR_DEFAULT;
    AnswerListNotify(&draw.nmcd.hdr, &result);
    return draw.clrTextBk;
}

TEST_F(Refresh, NewProcessIsHighlightedForTwoPassesAndTwoSeconds)
{
    const bool saved = g_settings.highlightNew;
    g_settings.highlightNew = true;
    kvtest::ChildProcess old, young;
    ASSERT_TRUE(old.Start("kvtest_alpha.exe"));
    Pass(); // the first fill: nothing is new
    const ProcessRecord *oldRecord = FindProcessRecord(old.Id(), KindProcess);
    ASSERT_TRUE(oldRecord);
    EXPECT_EQ(CLR_DEFAULT, RowBackground(host_->List(), oldRecord));

    ASSERT_TRUE(young.Start("kvtest_beta.exe"));
    const DWORD started = GetTickCount();
    Pass();
    const ProcessRecord *youngRecord = FindProcessRecord(young.Id(), KindProcess);
    ASSERT_TRUE(youngRecord);
    EXPECT_EQ(RGB(0xCC, 0xFF, 0xCC), RowBackground(host_->List(), youngRecord));
    g_settings.highlightNew = false;
    EXPECT_EQ(CLR_DEFAULT, RowBackground(host_->List(), youngRecord));
    g_settings.highlightNew = true;

    // Two more passes at once are not enough: two seconds must pass as well.
    Pass();
    Pass();
    EXPECT_NE(CLR_DEFAULT, RowBackground(host_->List(), youngRecord));
    Sleep(2100 - (GetTickCount() - started));
    Pass();
    EXPECT_EQ(CLR_DEFAULT, RowBackground(host_->List(), youngRecord));
    EXPECT_EQ(CLR_DEFAULT, RowBackground(host_->List(), oldRecord));
    g_settings.highlightNew = saved;
}

// The working set the system reports through the process-status library, in kilobytes.
SIZE_T WorkingSetKilobytes(HANDLE process)
{
    struct Counters { // PROCESS_MEMORY_COUNTERS
        DWORD cb, pageFaultCount;
        SIZE_T peakWorkingSet, workingSet, other[6];
    } counters = {};
    counters.cb = sizeof counters;
    typedef BOOL(WINAPI * ReadCounters)(HANDLE, Counters *, DWORD);
    const ReadCounters read = reinterpret_cast<ReadCounters>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryA("psapi.dll"), "GetProcessMemoryInfo")));
    return read && read(process, &counters, sizeof counters) ? counters.workingSet / 1024 : 0;
}

// "12,345 K" as a number.
long Kilobytes(const std::string &cell)
{
    std::string digits;
    for (char c : cell)
        if (c >= '0' && c <= '9')
            digits += c;
    return std::atol(digits.c_str());
}

TEST_F(Refresh, ColumnsChosenInTheirDialogShowABusyAndAnIdleChild)
{
    const char *savedKey = g_settingsKeyPath;
    g_settingsKeyPath = "Software\\KelvaneTest\\columns";
    kvtest::ChildProcess busy, idle;
    ASSERT_TRUE(busy.Start("kvtest_busy.exe", "--busy 30000"));
    ASSERT_TRUE(idle.Start("kvtest_idle.exe", "--threads 0,0", true));
    std::string line;
    ASSERT_TRUE(idle.ReadLine(&line) && idle.ReadLine(&line));

    // CPU, Working Set and Threads chosen; OK shows them at once and saves the choice.
    kvtest::WhileShown(
        "KELVANEDLG", IDC_COLUMN_FIRST,
        [&] { OnSelectColumns(GetParent(host_->List()), 0, 0, 0); },
        [](HWND dialog) {
            for (int n : {1, 3, 5})
                CheckDlgButton(dialog, IDC_COLUMN_FIRST + n - 1, BST_CHECKED);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
    EXPECT_EQ(kvtest::HeaderTexts(host_->List()),
              (std::vector<std::string>{"Name", "ID", "Priority", "CPU", "Working Set", "Threads",
                                        "Full Path"}));
    HKEY key;
    char stored[64] = "";
    DWORD size = sizeof stored;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, g_settingsKeyPath, 0, KEY_ALL_ACCESS, &key) == 0) {
        RegQueryValueExA(key, "ExtraColumns", nullptr, nullptr, reinterpret_cast<BYTE *>(stored),
                         &size);
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, g_settingsKeyPath);
    g_settingsKeyPath = savedKey;
    EXPECT_STREQ(" 1 3 5", stored);

    // The share is counted between passes a second apart. The busy child keeps one processor
    // busy, which is 100/N of the machine; other work may take its processor for a while, so the
    // best of a few passes counts, and 40% of the whole share is enough.
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const double oneThread = 100.0 / (system.dwNumberOfProcessors ? system.dwNumberOfProcessors : 1);
    double busiest = 0, idleMost = 0;
    Pass();
    for (int pass = 0; pass < 5 && busiest < 0.4 * oneThread; ++pass) {
        kvtest::PumpUntil([] { return false; }, 1000);
        Pass();
        busiest = std::max(busiest, std::atof(host_->CellText(host_->FindRow(busy.Id()), 3).c_str()));
        idleMost = std::max(idleMost, std::atof(host_->CellText(host_->FindRow(idle.Id()), 3).c_str()));
    }
    const int busyRow = host_->FindRow(busy.Id()), idleRow = host_->FindRow(idle.Id());
    ASSERT_TRUE(busyRow >= 0 && idleRow >= 0);
    EXPECT_GE(busiest, 0.4 * oneThread);
    EXPECT_LT(idleMost, std::min(5.0, 0.2 * oneThread));
    EXPECT_EQ("3", host_->CellText(idleRow, 5)); // its main thread and the two it started
    const long shown = Kilobytes(host_->CellText(idleRow, 4));
    const long resident = static_cast<long>(WorkingSetKilobytes(idle.Handle()));
    EXPECT_GT(resident, 0);
    EXPECT_LE(std::labs(shown - resident) * 4, resident) << shown << " K shown, " << resident << " K";

    // One click on CPU puts the busiest first; a process that starts spinning afterwards
    // climbs above the idle one within a pass or two, the selection staying on its process.
    ClickHeader(3);
    EXPECT_EQ(-1, g_sortDirection);
    EXPECT_TRUE(RowsSorted());
    EXPECT_LT(host_->FindRow(busy.Id()), host_->FindRow(idle.Id()));
    ListView_SetItemState(host_->List(), host_->FindRow(idle.Id()), LVIS_SELECTED, LVIS_SELECTED);
    kvtest::ChildProcess late;
    ASSERT_TRUE(late.Start("kvtest_late.exe", "--busy 30000"));
    const auto climbed = [&] {
        const int row = host_->FindRow(late.Id());
        return row >= 0 && row < host_->FindRow(idle.Id());
    };
    Pass();
    for (int pass = 0; pass < 5 && !climbed(); ++pass) {
        kvtest::PumpUntil([] { return false; }, 1000);
        Pass();
    }
    EXPECT_TRUE(climbed());
    EXPECT_TRUE(RowsSorted());
    EXPECT_EQ(host_->FindRow(idle.Id()),
              ListView_GetNextItem(host_->List(), -1, LVNI_SELECTED));

    // Suspended, the spinning child uses no processor time and its CPU cell says so; only
    // Resume lets it spin again.
    const auto cpuTime = [&] {
        Pass();
        return FindProcessRecord(late.Id(), KindProcess)->figures.cpuTime;
    };
    ASSERT_TRUE(host_->SelectProcess(late.Id()));
    OnSuspendCommand(nullptr, 0, 0, 0);
    const ULONGLONG suspendedAt = cpuTime();
    kvtest::PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(suspendedAt, cpuTime());
    EXPECT_EQ("Suspended", host_->CellText(host_->FindRow(late.Id()), 3));
    OnSuspendCommand(nullptr, 0, 0, 0); // once is enough: Resume undoes it in one step
    OnResumeCommand(nullptr, 0, 0, 0);
    const ULONGLONG resumedAt = cpuTime();
    kvtest::PumpUntil([] { return false; }, 1000);
    EXPECT_GT(cpuTime(), resumedAt);
    EXPECT_NE("Suspended", host_->CellText(host_->FindRow(late.Id()), 3));
}

} // namespace
