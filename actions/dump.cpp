#include "actions/dump.h"

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "core/save.h"
#include "providers/fill.h"
#include "resource.h"

namespace {

typedef BOOL(WINAPI *MiniDumpWriteDumpFn)(HANDLE process, DWORD processId, HANDLE file,
                                          DWORD type, void *exception, void *userStreams,
                                          void *callback);

// Every dump holds the thread and module lists; the memory map (MiniDumpWithFullMemoryInfo)
// needs its flag. Wine's dbghelp writes all three.
const DWORD kDumpType = 0x00000800;
const DWORD kExitWaitMs = 30000;

// The worker's block: what it works on, handed over by the window's thread, and what came of it.
// The worker owns the handles and closes them; the block goes back with the report.
struct DumpJob {
    MiniDumpWriteDumpFn write;
    HANDLE process;
    HANDLE file;
    DWORD processId;
    HWND window;
    DWORD error; // 0: written
};

// The dump the window's thread waits for; the thread is null while none runs. Only the window's
// thread reads or writes it.
struct RunningDump {
    HANDLE thread;
    HWND window;
    char path[MAX_PATH];
    char temp[MAX_PATH];
    char name[MAX_PATH];
};
RunningDump g_dump;

MiniDumpWriteDumpFn BindMiniDump()
{
    static MiniDumpWriteDumpFn write;
    static bool bound;
    if (bound)
        return write;
    bound = true;
    // From the system's folder only, never from the current or the program's folder.
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH - 16);
    if (length == 0 || length >= MAX_PATH - 16)
        return nullptr;
    lstrcatA(path, "\\dbghelp.dll");
    HMODULE library = LoadLibraryA(path);
    FARPROC proc = library ? GetProcAddress(library, "MiniDumpWriteDump") : nullptr;
    std::memcpy(&write, &proc, sizeof proc);
    return write;
}

// dbghelp reports most failures as an HRESULT made of a system error code.
DWORD SystemCode(DWORD error)
{
    if ((error & 0xFFFF0000u) == 0x80070000u)
        return error & 0xFFFF;
    return error ? error : ERROR_WRITE_FAULT;
}

// Runs on the worker: system calls on its own block only.
DWORD WINAPI WriteDump(LPVOID parameter)
{
    DumpJob *job = static_cast<DumpJob *>(parameter);
    if (!job->write(job->process, job->processId, job->file, kDumpType, nullptr, nullptr, nullptr))
        job->error = SystemCode(GetLastError());
    if (!CloseHandle(job->file) && !job->error)
        job->error = SystemCode(GetLastError());
    CloseHandle(job->process);
    if (!PostMessageA(job->window, WM_DUMPWRITTEN, 0, reinterpret_cast<LPARAM>(job)))
        HeapFree(GetProcessHeap(), 0, job); // the window is gone
    return 0;
}

void ShowDumpStatus(UINT formatId, const char *name, const char *path = "")
{
    char text[2 * MAX_PATH + 64];
    std::snprintf(text, sizeof text, ResText(formatId), name, path);
    ShowStatusNote(text);
}

// Hands the job to a worker; false when the thread cannot start (the job is then freed).
bool RunWorker(DumpJob *job)
{
    DWORD threadId;
    g_dump.thread = CreateThread(nullptr, 0, WriteDump, job, 0, &threadId);
    if (g_dump.thread)
        return true;
    CloseHandle(job->file);
    CloseHandle(job->process);
    HeapFree(GetProcessHeap(), 0, job);
    return false;
}

// A block for the worker with the process and the temporary file open; 0 or the system's
// error code.
DWORD PrepareJob(HWND window, DWORD processId, MiniDumpWriteDumpFn write, DumpJob **made)
{
    DumpJob *job = static_cast<DumpJob *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *job));
    if (!job)
        return ERROR_NOT_ENOUGH_MEMORY;
    job->write = write;
    job->processId = processId;
    job->window = window;
    job->process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    // Shared for deleting: at exit the file can be removed while an abandoned worker still
    // writes; it goes once the worker lets go of it.
    job->file = job->process ? CreateFileA(g_dump.temp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                             : INVALID_HANDLE_VALUE;
    if (job->file != INVALID_HANDLE_VALUE) {
        *made = job;
        return 0;
    }
    const DWORD error = GetLastError();
    if (job->process)
        CloseHandle(job->process);
    HeapFree(GetProcessHeap(), 0, job);
    return error ? error : ERROR_ACCESS_DENIED;
}

} // namespace

void DumpFileName(const char *processName, char (&fileName)[MAX_PATH])
{
    lstrcpynA(fileName, processName, MAX_PATH - 4);
    char *dot = const_cast<char *>(FindLastChar(fileName, '.'));
    if (dot && dot != fileName)
        *dot = '\0';
    lstrcatA(fileName, ".dmp");
}

bool DumpRunning()
{
    return g_dump.thread != nullptr;
}

bool StartDump(HWND window, DWORD processId, const char *processName, const char *path)
{
    const MiniDumpWriteDumpFn write = BindMiniDump();
    if (!write) {
        ShowResMessage(window, IDS_DUMP_NO_DBGHELP, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    DWORD error = BeginReplacement(path, g_dump.temp);
    DumpJob *job = nullptr;
    if (!error && (error = PrepareJob(window, processId, write, &job)) != 0)
        DeleteFileA(g_dump.temp);
    if (!error && !RunWorker(job)) {
        error = GetLastError();
        DeleteFileA(g_dump.temp);
    }
    if (error) {
        g_dump.temp[0] = '\0';
        ShowSystemFailure(window, IDS_SAVE_FAILED, path, error);
        return false;
    }
    g_dump.window = window;
    lstrcpynA(g_dump.path, path, MAX_PATH);
    lstrcpynA(g_dump.name, processName, MAX_PATH);
    ShowDumpStatus(IDS_STATUS_DUMPING, g_dump.name);
    return true;
}

LRESULT OnDumpWritten(HWND window, UINT, WPARAM, LPARAM lParam)
{
    DumpJob *job = reinterpret_cast<DumpJob *>(lParam);
    DWORD error = job->error;
    HeapFree(GetProcessHeap(), 0, job);
    if (!g_dump.thread)
        return 0;
    CloseHandle(g_dump.thread); // it has posted: nothing is left for it to do
    g_dump.thread = nullptr;
    if (error)
        DeleteFileA(g_dump.temp);
    else
        error = CompleteReplacement(g_dump.temp, g_dump.path);
    g_dump.temp[0] = '\0';
    ShowDumpStatus(error ? IDS_STATUS_DUMP_FAILED : IDS_STATUS_DUMPED, g_dump.name, g_dump.path);
    if (error)
        ShowSystemFailure(window, IDS_SAVE_FAILED, g_dump.path, error);
    return 0;
}

void FinishDumpAtExit()
{
    if (!g_dump.thread)
        return;
    MSG report;
    if (WaitForSingleObject(g_dump.thread, kExitWaitMs) == WAIT_OBJECT_0 &&
        PeekMessageA(&report, g_dump.window, WM_DUMPWRITTEN, WM_DUMPWRITTEN, PM_REMOVE)) {
        DumpJob *job = reinterpret_cast<DumpJob *>(report.lParam);
        if (!job->error && CompleteReplacement(g_dump.temp, g_dump.path) == 0)
            g_dump.temp[0] = '\0';
        HeapFree(GetProcessHeap(), 0, job);
    }
    if (g_dump.temp[0])
        DeleteFileA(g_dump.temp); // an abandoned worker's file goes once it lets go
    CloseHandle(g_dump.thread);
    g_dump = RunningDump();
}

LRESULT OnDumpCommand(HWND window, WPARAM, WORD, LPARAM)
{
    if (g_dump.thread) {
        ShowResMessage(window, IDS_DUMP_BUSY, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    const HeldProcess held(SelectedRecord());
    if (!held.Held())
        return 0;
    if (ProcessWiderThanProgram(held.Ref().id)) {
        ShowResMessage(window, IDS_DUMP_NEED_X64, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    char path[MAX_PATH];
    DumpFileName(held.Name(), path);
    if (!ChooseFileToWrite(window, IDS_DUMP_FILTER, IDS_DUMP_DEFEXT, path) ||
        held.RefuseIfEnded(window))
        return 0;
    StartDump(window, held.Ref().id, held.Name(), path);
    return 0;
}
