// Helpers the test suites share: copies of the child helper (kvchild.exe) started under chosen
// names and ended again, and a hidden window that hosts the main process list.
#pragma once
#include <windows.h>

#include <string>

struct ProcessRecord;

namespace kvtest {

// Full path of kvchild.exe, which the build puts beside the test executable.
std::string HelperPath();

// Copies the helper into this run's scratch folder under `exeName` ("kvtest_alpha.exe") and
// returns the copy's full path, or "" on failure. A copy that already exists (and may be
// running) is reused.
std::string CopyHelper(const char *exeName);

// A running copy of the helper, ended and waited for when the object goes out of scope.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts the helper copied under `exeName` with `arguments` (may be null; see kvchild.cpp).
    // Returns once the child's modules can be listed, so a refresh sees it complete. With
    // `captureOutput` its standard output is kept for ReadLine.
    bool Start(const char *exeName, const char *arguments = nullptr, bool captureOutput = false);
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

private:
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND previousList_ = nullptr;
};

// Number of records in the chain, rows or not.
int CountRecords();

} // namespace kvtest
