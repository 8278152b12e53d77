#pragma once
#include <windows.h>

#include "core/exports.h"

typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *LookupPrivilegeValueAFn)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI *AdjustTokenPrivilegesFn)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                              PTOKEN_PRIVILEGES, PDWORD);

// The token functions, which Windows 95 lacks: bound at run time, called through this table.
struct TokenApi {
    OpenProcessTokenFn OpenProcessToken;
    LookupPrivilegeValueAFn LookupPrivilegeValueA;
    AdjustTokenPrivilegesFn AdjustTokenPrivileges;
};
extern TokenApi g_tokenApi;

// Fills g_tokenApi from ADVAPI32 when the process has it loaded (it is never loaded for this);
// true when all three were found.
bool BindTokenApi(const ExportSource &source);

// Enables a privilege in the program's own token. The token functions are bound from the
// system on the first call only; every failure is silent.
void EnableDebugPrivilege(const char *privilege, DWORD attributes);
