#pragma once
#include <windows.h>

#include "core/exports.h"

typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *LookupPrivilegeValueAFn)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI *AdjustTokenPrivilegesFn)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                              PTOKEN_PRIVILEGES, PDWORD);
typedef BOOL(WINAPI *GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI *LookupAccountSidAFn)(LPCSTR, PSID, LPSTR, LPDWORD, LPSTR, LPDWORD,
                                          PSID_NAME_USE);

// The token functions, which Windows 95 lacks: bound at run time, called through this table.
struct TokenApi {
    OpenProcessTokenFn OpenProcessToken;
    LookupPrivilegeValueAFn LookupPrivilegeValueA;
    AdjustTokenPrivilegesFn AdjustTokenPrivileges;
    GetTokenInformationFn GetTokenInformation; // optional: the user of a process
    LookupAccountSidAFn LookupAccountSidA;     // optional
};
extern TokenApi g_tokenApi;

// Fills g_tokenApi from ADVAPI32 when the process has it loaded (it is never loaded for this);
// true when the three privilege functions were found.
bool BindTokenApi(const ExportSource &source);
// Binds g_tokenApi from the system on the first call only, and returns it.
const TokenApi &TokenFunctions();

// True when the program runs with a limited token that an administrator could elevate (the
// split token of Windows Vista and later); false on older systems and without token functions.
bool TokenCanBeElevated();

// Enables a privilege in the program's own token. The token functions are bound from the
// system on the first call only; every failure is silent.
void EnableDebugPrivilege(const char *privilege, DWORD attributes);
