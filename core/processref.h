// A command's hold on the process it was started for. A command takes it from the main list's
// selection when it starts and keeps it across its message boxes and dialogs, while a refresh
// pass may free the record, the process may end and its identifier may even pass to a process
// started since. After each such wait the command asks whether the process is still the one the
// user chose, and acts on it only then.
#pragma once
#include <windows.h>

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
