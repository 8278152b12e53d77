// Write Dump File: a minidump of the selected process (its threads, modules and memory map),
// written by dbghelp on a worker thread so that the window keeps answering while a large process
// is dumped. The dump goes into a temporary file beside the chosen one, which takes the name only
// once it is complete.
#pragma once
#include <windows.h>

// Posted by the worker to the window that started the dump; lParam is the worker's result block,
// which the handler frees.
const UINT WM_DUMPWRITTEN = WM_USER + 90;

// Command 40090 (NT family): asks for a file (NAME.dmp proposed) while holding the selected
// process, then starts the dump unless the process ended meanwhile. Refused while a dump runs,
// and in the 32-bit build for a 64-bit process.
LRESULT OnDumpCommand(HWND window, WPARAM, WORD, LPARAM);
// Starts a dump of the process into `path` on a worker that reports to `window`; false (after
// telling the user over `window`) when it cannot start: the file cannot be replaced (read-only,
// a folder, too long a path), dbghelp is missing, the process cannot be opened.
bool StartDump(HWND window, DWORD processId, const char *processName, const char *path);
// The worker's report: the temporary file takes the chosen name, or goes; the status line and,
// on failure, a message say which, with the system's reason.
LRESULT OnDumpWritten(HWND window, UINT, WPARAM, LPARAM lParam);
bool DumpRunning();
// At exit: waits up to 30 s for a running dump to end (and keeps it when it was written), then
// removes its temporary file if any is left.
void FinishDumpAtExit();
// The name the save dialog proposes: the process's name without its extension, then ".dmp".
void DumpFileName(const char *processName, char (&fileName)[MAX_PATH]);
