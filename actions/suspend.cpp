#include "actions/suspend.h"

#include <tlhelp32.h>

#include "core/appstate.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "core/sysapi.h"
#include "providers/provider.h"
#include "resource.h"

namespace {

const DWORD kSuspendResume = 0x0800; // PROCESS_SUSPEND_RESUME

// Thread by thread, where the system has no call for the whole process (before XP): every
// thread the snapshot lists for the process; true when at least one was reached and none failed.
bool SuspendThreads(DWORD id, bool suspend)
{
    if (!g_toolhelpApi.CreateToolhelp32Snapshot || !g_ntApi.OpenThread)
        return false;
    HANDLE snapshot = g_toolhelpApi.CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int reached = 0, failed = 0;
    for (BOOL more = g_toolhelpApi.Thread32First(snapshot, &entry); more;
         more = g_toolhelpApi.Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != id)
            continue;
        HANDLE thread = g_ntApi.OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        const DWORD count = thread ? (suspend ? SuspendThread(thread) : ResumeThread(thread))
                                   : static_cast<DWORD>(-1);
        if (thread)
            CloseHandle(thread);
        ++(count == static_cast<DWORD>(-1) ? failed : reached);
    }
    CloseHandle(snapshot);
    return reached > 0 && failed == 0;
}

void Apply(bool suspend)
{
    const HeldProcesses held(SelectedRecords());
    ProcessReport report;
    for (size_t i = 0; i < held.Count(); ++i) {
        const HeldProcess &process = held[i];
        if (process.Ref().kind != KindProcess)
            continue; // a 16-bit task runs on its machine's threads
        if (process.Ended()) {
            report.Skipped(process);
            continue;
        }
        ProcessRecord *record = FindReferencedProcess(process.Ref());
        // Suspended once, whatever the count of Suspends; only what this program suspended is
        // resumed, and then at once.
        const bool suspended = record && (record->flags & RecordSuspendedAny);
        if (suspended == suspend)
            continue;
        if (!SuspendProcess(process.Ref().id, suspend)) {
            report.Failed(process, suspend ? IDS_SUSPEND_FAILED : IDS_RESUME_FAILED);
            continue;
        }
        if (record)
            record->flags = suspend ? record->flags | RecordSuspended
                                    : record->flags & ~RecordSuspendedAny;
    }
    report.Show(g_mainWindow);
    RepaintMainList();
}

} // namespace

bool SuspendProcess(DWORD id, bool suspend)
{
    const SystemApi &api = SysApi();
    LONG(WINAPI *call)(HANDLE) = suspend ? api.NtSuspendProcess : api.NtResumeProcess;
    if (!call)
        return SuspendThreads(id, suspend);
    HANDLE process = OpenProcess(kSuspendResume, FALSE, id);
    if (!process)
        return false;
    const bool done = call(process) >= 0;
    CloseHandle(process);
    return done;
}

LRESULT OnSuspendCommand(HWND, WPARAM, WORD, LPARAM)
{
    Apply(true);
    return 0;
}

LRESULT OnResumeCommand(HWND, WPARAM, WORD, LPARAM)
{
    Apply(false);
    return 0;
}
