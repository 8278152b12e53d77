// Suspending and resuming the selected processes (NT family). A process suspended here is marked
// in the process table for the rest of the run: its row is drawn grey and its CPU cell says so
// until it is resumed here.
#pragma once
#include <windows.h>

// Commands 40041 and 40042: every selected process that still runs is suspended or resumed;
// one message at the end names those skipped or failed.
LRESULT OnSuspendCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
LRESULT OnResumeCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);

// Suspends (or resumes) every thread of the process; true when the system did it. The process's
// own call where the system has one, else thread by thread.
bool SuspendProcess(DWORD id, bool suspend);
