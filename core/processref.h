// A command's hold on the process it was started for. A command takes it from the main list's
// selection when it starts and keeps it across its message boxes and dialogs, while a refresh
// pass may free the record, the process may end and its identifier may even pass to a process
// started since. After each such wait the command asks whether the process is still the one the
// user chose, and acts on it only then.
#pragma once
#include <windows.h>

#include <vector>

#include "core/processrecord.h"

class HeldProcess {
public:
    // Holds the process of `record` (normally SelectedRecord()); nothing is held for null or for
    // identifier 0. Where the system allows, a SYNCHRONIZE handle is kept until the hold ends:
    // it keeps the identifier from passing to another process and tells when the process ended.
    explicit HeldProcess(ProcessRecord *record);
    ~HeldProcess();
    HeldProcess(const HeldProcess &) = delete;
    HeldProcess &operator=(const HeldProcess &) = delete;

    bool Held() const { return ref_.id != 0; }
    const ProcessRef &Ref() const { return ref_; }
    // The name the list showed when the hold was taken.
    const char *Name() const { return name_; }
    // The identifier as the list's ID column showed it.
    const char *ShownId() const { return shownId_; }

    // True when the process ended or its identifier now names another process: the held handle
    // is signalled, the list's record of it is gone or started at another time, or the system no
    // longer has a process of that identifier started when this one was.
    bool Ended() const;
    // When Ended(), tells the user over `owner` that nothing was done to the process, naming it
    // as the list showed it, and returns true; false otherwise.
    bool RefuseIfEnded(HWND owner) const;

private:
    bool OtherStart(ULONGLONG createTime) const;

    ProcessRef ref_ = {};
    char name_[MAX_PATH] = "";
    char shownId_[32] = ""; // the identifier as the list's ID column showed it
    HANDLE handle_ = nullptr;
};

// The processes of several records held at once, as a command on the whole selection takes them.
class HeldProcesses {
public:
    explicit HeldProcesses(const std::vector<ProcessRecord *> &records);
    ~HeldProcesses();
    HeldProcesses(const HeldProcesses &) = delete;
    HeldProcesses &operator=(const HeldProcesses &) = delete;

    size_t Count() const { return held_.size(); }
    const HeldProcess &operator[](size_t i) const { return *held_[i]; }

private:
    std::vector<HeldProcess *> held_;
};

// What a command on several processes could not do, gathered into one message: a line for each
// process it skipped because it had ended, and for each it failed on, with the reason.
class ProcessReport {
public:
    void Skipped(const HeldProcess &process);
    void Failed(const HeldProcess &process, UINT reasonId);
    bool Empty() const { return !used_; }
    const char *Text() const { return text_; }
    // Shows the lines over `owner`, when there are any.
    void Show(HWND owner) const;

private:
    void AddLine(const char *line);

    char text_[4096] = "";
    size_t used_ = 0;
};
