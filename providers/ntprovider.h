// The provider of the NT family: processes from EnumProcesses, names and paths from their first
// module, parents from NtQueryInformationProcess, 16-bit tasks of the virtual DOS machines,
// modules of one process, and the ending of 16-bit tasks. Every PSAPI, NTDLL and VDMDBG entry
// point is called through g_ntApi.
#pragma once
#include <windows.h>

#include <vector>

#include "core/listlines.h"
#include "core/processrecord.h"
#include "providers/provider.h"

// Reads one record per process, then one per 16-bit task.
void NtReadProcesses(std::vector<ProcessRecord> *reading);
// Calls `callback` once per module of the process, the executable first. Returns 1 always.
BOOL NtEnumerateModules(DWORD processId, ModuleCallback callback, void *user);
// True for a 64-bit process when this program is a 32-bit one on 64-bit Windows.
bool NtProcessWiderThanProgram(DWORD processId);
// Adds one line per thread of the process, from the performance data, to `lines`.
BOOL NtListThreads(DWORD processId, ListLines *lines);
// Ends a 16-bit task inside a virtual DOS machine; 1 when the system did it, else 0.
int NtTerminateWowTask(DWORD vdmProcessId, WORD task16);
// The module's full path as ordinary text: "\??\C:\x" becomes "C:\x", and a leading
// "\Variable\rest" becomes the variable's value followed by "\rest" when it is defined and fits.
void NormaliseModulePath(HANDLE process, HMODULE module, char *buffer, DWORD size);
// A module path as a 32-bit process on 64-bit Windows sees it: "WINDOWS\SysWOW64\x" (the folder
// `windows`, any case) becomes "WINDOWS\System32\x", so that one module file is one path.
void SeeSystemFolderAs32Bit(char *path, const char *windows);
