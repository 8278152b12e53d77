// Set Priority opened for real from its command on a child process.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "actions/affinity.h"
#include "actions/priority.h"
#include "app/mainwnd.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"

namespace {

class Priority : public kvtest::ViewTest {
protected:
    Priority() : ViewTest(OnPriorityCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_priority.exe"));
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    }
    void TearDown() override
    {
        IsNt5 = savedIsNt5_;
        ViewTest::TearDown();
    }

    // Opens the dialog, notes what it offers and which entry is chosen, presses OK (first with
    // the current choice, then after choosing `pick`), and returns the child's class afterwards.
    DWORD Choose(int pick)
    {
        offered_.clear();
        current_ = -2;
        EXPECT_TRUE(kvtest::RunMainCommand(*host_, OnPriorityCommand, [&](HWND dialog) {
            HWND combo = GetDlgItem(dialog, IDC_PRIORITY_CLASS);
            caption_ = kvtest::WindowText(dialog);
            current_ = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
            for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
                char text[MAX_PATH] = "";
                SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                offered_.push_back(text);
            }
            if (current_ < 0) { // nothing chosen: OK must be ignored, not set a made-up class
                SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
                EXPECT_FALSE(IsWindowEnabled(g_mainWindow)) << "the dialog ended";
            }
            SendMessageA(combo, CB_SETCURSEL, pick, 0);
            SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
        }));
        const ProcessRecord *record = host_->RecordOfRow(host_->FindRow(child_.Id()));
        EXPECT_TRUE(record && record->priorityClass == GetPriorityClass(child_.Handle()))
            << "main list not refreshed";
        return GetPriorityClass(child_.Handle());
    }

    bool savedIsNt5_ = IsNt5;
    std::vector<std::string> offered_;
    int current_ = -2;
    std::string caption_;
};

TEST_F(Priority, OffersTheSystemsClassesAndSetsTheChosenOne)
{
    IsNt5 = true;
    ASSERT_TRUE(SetPriorityClass(child_.Handle(), NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS), Choose(1));
    EXPECT_EQ("Priority -- kvtest_priority.exe", caption_);
    EXPECT_EQ(std::vector<std::string>({"Idle", "Below Normal", "Normal", "Above Normal", "High",
                                        "Real Time"}), offered_);
    EXPECT_EQ(2, current_);

    // Before NT 5 the child's Below Normal is none of the four entries.
    IsNt5 = false;
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), Choose(2));
    EXPECT_EQ(std::vector<std::string>({"Idle", "Normal", "High", "Real Time"}), offered_);
    EXPECT_EQ(-1, current_);
}

// With two selected the dialog shows the focused one's class, and OK sets the choice on both.
TEST_F(Priority, SeveralSelectedShowTheFocusedOnesClassAndAllTakeTheChoice)
{
    IsNt5 = true;
    kvtest::ChildProcess other;
    ASSERT_TRUE(other.Start("kvtest_priority_two.exe"));
    ASSERT_TRUE(SetPriorityClass(child_.Handle(), NORMAL_PRIORITY_CLASS));
    ASSERT_TRUE(SetPriorityClass(other.Handle(), IDLE_PRIORITY_CLASS));
    ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    LVITEMA state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(host_->List(), LVM_SETITEMSTATE, host_->FindRow(other.Id()), reinterpret_cast<LPARAM>(&state));
    ASSERT_EQ(2, SendMessageA(host_->List(), LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), Choose(4));
    EXPECT_EQ(0, current_); // Idle, the focused process's class
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(other.Handle()));
}

// Set Affinity: a box per processor named by its number and checked as the process's mask has
// it; with every box unchecked OK is refused and the dialog stays; OK sets the checked ones.
TEST_F(Priority, AffinityBoxesShowTheMaskAndOkSetsTheCheckedProcessors)
{
    DWORD_PTR mask = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(child_.Handle(), &mask, &system));
    if ((system & 3) != 3)
        GTEST_SKIP() << "needs two processors";
    std::string caption, refusal;
    std::vector<std::string> boxes;
    bool stayed = false;
    EXPECT_TRUE(kvtest::RunMainCommand(*host_, OnAffinityCommand, [&](HWND dialog) {
        caption = kvtest::WindowText(dialog);
        for (int id = IDC_AFFINITY_FIRST; GetDlgItem(dialog, id); ++id) {
            boxes.push_back(kvtest::WindowText(GetDlgItem(dialog, id)) +
                            (IsDlgButtonChecked(dialog, id) ? "+" : ""));
            CheckDlgButton(dialog, id, BST_UNCHECKED);
        }
        kvtest::WhileShown("#32770", IDOK,
                           [&] { SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0); },
                           [&](HWND box) {
                               refusal = kvtest::WindowText(GetDlgItem(box, 0xFFFF));
                               PostMessageA(box, WM_COMMAND, IDOK, 0);
                           });
        stayed = IsWindow(dialog) && IsWindowVisible(dialog);
        CheckDlgButton(dialog, IDC_AFFINITY_FIRST, BST_CHECKED);
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    }));
    EXPECT_EQ("Processor Affinity", caption);
    ASSERT_LE(2u, boxes.size());
    EXPECT_EQ("CPU 0+", boxes[0]);
    EXPECT_EQ("CPU 1+", boxes[1]);
    EXPECT_NE(std::string::npos, refusal.find("at least one processor")) << refusal;
    EXPECT_TRUE(stayed);
    ASSERT_TRUE(GetProcessAffinityMask(child_.Handle(), &mask, &system));
    EXPECT_EQ(1u, mask);
}

// The boxes stand for the set bits of the system's mask, up to the top bit of the build's width.
TEST(AffinityMask, BoxesFollowTheSetBitsAndTheCheckedOnesMakeTheMask)
{
    int processors[kMaxAffinityBoxes];
    ASSERT_EQ(3, ProcessorsOfMask(0xB, processors));
    EXPECT_EQ(std::vector<int>({0, 1, 3}), std::vector<int>(processors, processors + 3));
    const bool checked[] = {true, false, true};
    EXPECT_EQ(static_cast<DWORD_PTR>(0x9), MaskOfChecked(processors, checked, 3));

    const DWORD_PTR top = static_cast<DWORD_PTR>(1) << (kMaxAffinityBoxes - 1);
    ASSERT_EQ(2, ProcessorsOfMask(top | 1, processors));
    EXPECT_EQ(kMaxAffinityBoxes - 1, processors[1]);
    const bool topOnly[] = {false, true};
    EXPECT_EQ(top, MaskOfChecked(processors, topOnly, 2));
    EXPECT_EQ(kMaxAffinityBoxes, ProcessorsOfMask(~static_cast<DWORD_PTR>(0), processors));
}

TEST_F(Priority, ShowsNoDialogForAProcessThatCannotBeOpened)
{
    ProcessRecord ghost = {};
    ghost.id = 0xFFFFFFF0; // no process has it
    lstrcpyA(ghost.name, "ghost.exe");
    host_->SelectRecord(ghost);
    EXPECT_FALSE(
        kvtest::RunMainCommand(*host_, OnPriorityCommand, [](HWND d) { EndDialog(d, 0); }));
}

} // namespace
