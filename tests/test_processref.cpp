// Kill, Set Priority and Debug wait for the user before they act. A process that ends meanwhile,
// or whose identifier the list found naming a later process, is left alone, and the user told.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "actions/debug.h"
#include "actions/kill.h"
#include "actions/priority.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"

namespace {

// A command and the window it waits in: class, a control of it, the button that goes ahead.
struct WaitingCommand {
    const char *name;
    kvtest::ViewCommand run;
    const char *className;
    int controlId, goAhead;
};
const WaitingCommand kCommands[] = {
    {"Kill", OnKillCommand, "KELVANEDLG", IDC_KILL_QUESTION, IDOK},
    {"Priority", OnPriorityCommand, "KELVANEDLG", IDC_PRIORITY_CLASS, IDOK},
    {"Debug", OnDebugCommand, "#32770", IDYES, IDYES},
};

class ProcessRefTest : public kvtest::ViewTest {
protected:
    ProcessRefTest() : ViewTest(OnKillCommand) {}

    // Starts and selects a new child at Normal priority; returns what a command that finds it
    // gone says.
    std::string SelectChild()
    {
        EXPECT_TRUE(child_.Start("kvtest_ref.exe"));
        EXPECT_TRUE(SetPriorityClass(child_.Handle(), NORMAL_PRIORITY_CLASS));
        EXPECT_TRUE(host_->SelectProcess(child_.Id()));
        char text[2 * MAX_PATH];
        std::snprintf(text, sizeof text, ResText(IDS_PROCESS_ENDED), "kvtest_ref.exe",
                      host_->CellText(host_->FindRow(child_.Id()), FindColumn(ColumnId)).c_str());
        return text;
    }

    // As a refresh pass that meets a later process under the identifier: the record goes, one
    // with the later start time comes.
    void ReplaceRecord()
    {
        ProcessRecord *old = FindProcessRecord(child_.Id(), KindProcess);
        ASSERT_TRUE(old && old->createTime);
        ProcessRecord later = {};
        later.id = old->id;
        later.createTime = old->createTime + 10000000; // a second later
        ForgetProcess(old);
        AddOrUpdateProcess(&later);
    }

    // Runs the command; while it waits `meanwhile` runs, then the user goes ahead (choosing Idle
    // where there is a choice). Returns the texts of the message boxes shown.
    std::vector<std::string> Run(const WaitingCommand &command,
                                 const std::function<void()> &meanwhile)
    {
        std::vector<std::string> told;
        const HWND savedMain = g_mainWindow;
        g_mainWindow = GetParent(host_->List());
        const auto goAhead = [&](HWND waiting) {
            meanwhile();
            SendDlgItemMessageA(waiting, IDC_PRIORITY_CLASS, CB_SETCURSEL, 0, 0);
            PostMessageA(waiting, WM_COMMAND, command.goAhead, 0);
        };
        const auto read = [&](HWND box) {
            told.push_back(kvtest::WindowText(GetDlgItem(box, 0xFFFF)));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        };
        kvtest::DriveModal([&] { command.run(g_mainWindow, 0, 0, 0); },
                           {{command.className, command.controlId, goAhead}, {"#32770", 0, read}},
                           kvtest::kAnswerEvery);
        g_mainWindow = savedMain;
        return told;
    }
};

TEST_F(ProcessRefTest, CommandsLeaveAProcessThatEndedOrLostItsIdentifierWhileTheyWaited)
{
    kvtest::PlantedDebugger debugger;
    ASSERT_TRUE(debugger.Planted());
    for (const WaitingCommand &command : kCommands) {
        SCOPED_TRACE(command.name);
        // Ended, and no refresh pass ran before the user went ahead.
        std::string told = SelectChild();
        EXPECT_EQ(std::vector<std::string>{told}, Run(command, [&] { child_.Kill(); }));
        EXPECT_EQ("", debugger.TakeRecorded());

        // A refresh pass kept its row as ended: the command believes it, even were the
        // identifier to name a running process again.
        told = SelectChild();
        EXPECT_EQ(std::vector<std::string>{told}, Run(command, [&] {
                      FindProcessRecord(child_.Id(), KindProcess)->flags |= RecordEnded;
                  }));
        EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(child_.Handle()));
        EXPECT_EQ("", debugger.TakeRecorded());
        child_.Kill();

        // The child, still running, stands for the later process: nothing may touch it.
        told = SelectChild();
        EXPECT_EQ(std::vector<std::string>{told}, Run(command, [&] { ReplaceRecord(); }));
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(child_.Handle(), 0));
        EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(child_.Handle()));
        EXPECT_EQ("", debugger.TakeRecorded());
    }
}

} // namespace
