// Helpers the test suites share: helper programs built beside the tests, started as child
// processes and ended again; a hidden window that hosts the main process list; a driver for modal
// windows that acts from inside their loop; and the base fixtures of the list and view suites.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/listlines.h"
#include "core/settings.h"
#include "providers/provider.h"

struct ProcessRecord;

namespace kvtest {

// Full path of `name` in the folder of the test executable, where the build puts the helper
// programs (kvchild.exe, kvmemory.exe, the vt_*.exe version samples) and kelvane.exe.
std::string BesideTests(const char *name);

// A running copy of a helper program, ended and waited for when the object goes out of scope.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Copies `program` (built beside the tests) into this run's scratch folder under `exeName`
    // ("kvtest_alpha.exe"; a copy that exists already is reused) and starts it with `arguments`
    // (may be null; see the helpers' sources). Returns once the child's modules can be listed, so
    // a refresh sees it complete; false when it could not start or ended before that (a 32-bit
    // helper where 32-bit programs cannot run). With `captureOutput` its standard output is kept
    // for ReadLine.
    bool Start(const char *exeName, const char *arguments = nullptr, bool captureOutput = false,
               const char *program = "kvchild.exe");
    // Ends the child and waits for it; true when it is gone (also when it had ended already).
    bool Kill();
    // Next line of captured output without its line end; false when none came within the time.
    bool ReadLine(std::string *line, DWORD timeoutMs = 5000);

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }
    const std::string &Path() const { return path_; }

private:
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
    DWORD id_ = 0;
    std::string path_;
    std::string pending_;
};

// While it lives, the registered debugger (AeDebug "Debugger", 64-bit view) is kvchild.exe
// recording its command line to a file, then acting on `arguments` (by default it signals the
// event at once and ends); the value it replaced is put back afterwards.
class PlantedDebugger {
public:
    explicit PlantedDebugger(const char *arguments = "--lifetime 0 -p %ld -e %ld");
    ~PlantedDebugger();
    PlantedDebugger(const PlantedDebugger &) = delete;
    bool Planted() const { return key_ != nullptr; }
    // Registers any other value instead.
    void SetValue(const std::string &value);
    // The command line the debugger last ran with ("" when it did not run), forgotten once read.
    std::string TakeRecorded();

private:
    HKEY key_ = nullptr;
    std::string saved_, record_;
    DWORD savedType_ = 0;
};

// A hidden top-level window whose child is the main process list with the active column set,
// answering the list's notifications as the main window does. It becomes g_processList for its
// lifetime and starts in the initial sort state (Name, ascending). Going away clears the list
// and frees every record.
class ListHost {
public:
    ListHost();
    ~ListHost();
    ListHost(const ListHost &) = delete;
    ListHost &operator=(const ListHost &) = delete;

    HWND List() const { return list_; }
    int RowCount() const;
    ProcessRecord *RecordOfRow(int row) const;
    // Row showing the record (id, kind), or -1.
    int FindRow(DWORD id, DWORD kind = 0) const;
    // The text the list shows in a cell (asked for through the same notification as on screen).
    std::string CellText(int row, int column) const;

    // The first selected row, or -1.
    int SelectedRow() const;
    // Selects the row and only it; -1 selects none.
    void Select(int row) const;
    // Adds a row for a record no provider reported and selects it.
    void SelectRecord(const ProcessRecord &record) const;
    // Refreshes the list and selects the process's row; false when it has none.
    bool SelectProcess(DWORD processId) const;

private:
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND previousList_ = nullptr;
};

// Number of records in the chain, rows or not.
int CountRecords();

// An EnumProcessModules that fails as it does for a process whose memory cannot be read.
BOOL WINAPI FailingEnumProcessModules(HANDLE, HMODULE *, DWORD, DWORD *);
// Makes every process's modules and image name unreadable through g_ntApi, as for a process met
// while it is still starting.
void HideProcessDetails();

// Dispatches every message waiting in this thread's queue.
void Pump();
// Dispatches messages until `done` or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
std::string WindowText(HWND window);
// The column titles of a list view, in order.
std::vector<std::string> HeaderTexts(HWND list);
// The lines of a list box.
std::vector<std::string> ListLines(HWND list);
// The texts of lines a provider handed over.
std::vector<std::string> LineTexts(const ::ListLines &lines);
// As the list box reports a key press to its dialog.
void PressKey(HWND dialog, HWND list, UINT key);

// While it lives, modal windows of this thread that stay open longer than the limit fail the
// test and are ended, so a driver that misses its window fails in seconds instead of hanging.
class ModalTimeLimit {
public:
    explicit ModalTimeLimit(DWORD limitMs = 15000);
    ~ModalTimeLimit();
    ModalTimeLimit(const ModalTimeLimit &) = delete;
    ModalTimeLimit &operator=(const ModalTimeLimit &) = delete;

private:
    UINT_PTR timer_;
};

// A kind of window a modal driver answers: its class, a control it must have (unless 0), and
// what to do with it. The act runs from inside the modal loop and must end the window.
struct ModalAnswer {
    const char *className;
    int controlId;
    std::function<void(HWND)> act;
};

// Which windows a driver answers: the first one that shows, or every one, in any order.
enum ModalRepeat { kAnswerFirst, kAnswerEvery };

// The one driver of modal windows. While `trigger` runs, the enabled, visible windows of this
// thread that an answer matches (answers tried in order) get that answer's act. An act may run
// another driver; the outer one waits until its act returns. Runs under a ModalTimeLimit.
// Returns the first window answered (destroyed by then), or null when none showed.
HWND DriveModal(const std::function<void()> &trigger, const std::vector<ModalAnswer> &answers,
                ModalRepeat repeat = kAnswerFirst);
// The common case: one window of class `className` (with control `controlId`, unless 0).
HWND WhileShown(const char *className, int controlId, const std::function<void()> &trigger,
                const std::function<void(HWND)> &act);

// Detects the family, binds the provider, loads the view titles, registers the dialog class.
bool PrepareViews();

// A view command handler as the main window's command table holds it.
typedef LRESULT (*ViewCommand)(HWND, WPARAM, WORD, LPARAM);
// Runs a main-window command as the main window does, with the host's window as main window.
// `act` runs inside the first dialog of the program that shows (with control `controlId`,
// unless 0) and must end it. Returns that dialog (destroyed by then), or null.
HWND RunMainCommand(const ListHost &host, ViewCommand command,
                    const std::function<void(HWND)> &act, int controlId = 0);
// The same for a view: `act` is called once the view shows, and the view is closed afterwards.
HWND RunViewCommand(const ListHost &host, ViewCommand command,
                    const std::function<void(HWND)> &act);

// Base of the suites that refresh the main list with the NT column set: derived SetUps bind a
// provider, then call OpenList. g_ntApi and IsNt are put back afterwards.
class ListTest : public testing::Test {
protected:
    void OpenList();
    void TearDown() override;
    // One refresh pass of the host's list.
    void Pass();

    std::unique_ptr<ListHost> host_;

private:
    NtApi savedApi_ = g_ntApi;
    bool savedIsNt_ = IsNt;
};

// Base of the detail-view suites: views prepared, a host list, a child process for derived
// SetUps to start and select, and the settings put back afterwards.
class ViewTest : public testing::Test {
protected:
    explicit ViewTest(ViewCommand command) : command_(command) {}
    void SetUp() override;
    void TearDown() override;
    // Runs the suite's view command (see RunViewCommand).
    HWND Run(const std::function<void(HWND)> &act) const;

    std::unique_ptr<ListHost> host_;
    ChildProcess child_;

private:
    Settings savedSettings_ = g_settings;
    ViewCommand command_;
};

} // namespace kvtest
