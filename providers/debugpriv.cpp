#include "providers/debugpriv.h"

DebugPrivilegeStats g_debugPrivilegeStats;

typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *LookupPrivilegeValueAFn)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI *AdjustTokenPrivilegesFn)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                              PTOKEN_PRIVILEGES, PDWORD);

void EnableDebugPrivilege(const char *privilege, DWORD attributes)
{
    static bool bound = false;
    static OpenProcessTokenFn openToken;
    static LookupPrivilegeValueAFn lookupValue;
    static AdjustTokenPrivilegesFn adjust;

    if (!bound) {
        bound = true;
        ++g_debugPrivilegeStats.lookups;
        HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
        if (advapi) {
            openToken = reinterpret_cast<OpenProcessTokenFn>(
                reinterpret_cast<void *>(GetProcAddress(advapi, "OpenProcessToken")));
            lookupValue = reinterpret_cast<LookupPrivilegeValueAFn>(
                reinterpret_cast<void *>(GetProcAddress(advapi, "LookupPrivilegeValueA")));
            adjust = reinterpret_cast<AdjustTokenPrivilegesFn>(
                reinterpret_cast<void *>(GetProcAddress(advapi, "AdjustTokenPrivileges")));
        }
    }
    if (!openToken || !lookupValue || !adjust)
        return;

    HANDLE token;
    if (!openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return;
    TOKEN_PRIVILEGES request = {};
    request.PrivilegeCount = 1;
    lookupValue(nullptr, privilege, &request.Privileges[0].Luid);
    request.Privileges[0].Attributes = attributes;
    adjust(token, FALSE, &request, 0, nullptr, nullptr);
    ++g_debugPrivilegeStats.adjustments;
    CloseHandle(token);
}
