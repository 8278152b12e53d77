#!/usr/bin/python3
"""Fails when an executable imports a library or function that Windows 95 does not have.

Everything optional (process-status, native, 16-bit task and ToolHelp32 functions, token
functions, newer thread and process queries) must be bound at run time instead."""
import sys

import pefile

ALLOWED_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "comdlg32.dll",
    "shell32.dll", "ole32.dll", "version.dll", "msvcrt.dll",
}
# Functions Windows 95 lacks although their library exists there.
FORBIDDEN = {
    "CreateToolhelp32Snapshot", "Process32First", "Process32Next", "Module32First",
    "Module32Next", "Thread32First", "Thread32Next", "Heap32ListFirst", "Heap32ListNext",
    "Heap32First", "Heap32Next", "OpenThread", "IsWow64Process", "OpenProcessToken",
    "LookupPrivilegeValueA", "AdjustTokenPrivileges", "GetModuleHandleExA", "GetModuleHandleExW",
    "InitializeCriticalSectionAndSpinCount", "SetFilePointerEx", "GetFileSizeEx",
    "AddVectoredExceptionHandler", "RemoveVectoredExceptionHandler", "GetTickCount64",
    "InitOnceExecuteOnce", "InitializeSRWLock", "AcquireSRWLockExclusive",
    "CreateSymbolicLinkA", "CreateSymbolicLinkW", "GetProcessId", "QueryFullProcessImageNameA",
    "MoveFileExA", "GetProcessAffinityMask", "SetProcessAffinityMask", "AttachConsole",
    # Processor, memory, time and process facts.
    "GetActiveProcessorCount", "GetActiveProcessorGroupCount", "GetLogicalProcessorInformation",
    "GetNativeSystemInfo", "GetSystemTimes", "GlobalMemoryStatusEx", "GetProcessHandleCount",
    "SystemTimeToTzSpecificLocalTime", "TzSpecificLocalTimeToSystemTime",
    "GetDynamicTimeZoneInformation", "GetProcessImageFileNameA", "IsWow64Process2",
    "GetThreadId", "GetProcessIdOfThread", "IsDebuggerPresent", "CheckRemoteDebuggerPresent",
    "DebugActiveProcessStop", "GetLongPathNameA",
    # Screens.
    "SetProcessDpiAwarenessContext", "SetProcessDpiAwareness", "SetProcessDPIAware",
    "SetProcessDpiAware", "GetDpiForWindow", "GetDpiForSystem", "GetDpiForMonitor",
    "GetSystemMetricsForDpi", "AdjustWindowRectExForDpi", "SystemParametersInfoForDpi",
    "EnableNonClientDpiScaling", "MonitorFromWindow", "GetMonitorInfoA",
    "SHGetStockIconInfo",
    # Security: tokens, accounts and security descriptors.
    "OpenThreadToken", "GetTokenInformation", "SetTokenInformation", "DuplicateTokenEx",
    "LookupAccountSidA", "LookupAccountNameA", "LookupPrivilegeNameA", "PrivilegeCheck",
    "ConvertSidToStringSidA", "ConvertStringSidToSidA", "GetLengthSid", "IsValidSid",
    "EqualSid", "CopySid", "GetSidSubAuthority", "GetSidSubAuthorityCount",
    "GetSidIdentifierAuthority", "AllocateAndInitializeSid", "FreeSid", "CheckTokenMembership",
    "GetSecurityInfo", "SetSecurityInfo", "GetNamedSecurityInfoA", "GetKernelObjectSecurity",
    "SetKernelObjectSecurity", "GetSecurityDescriptorOwner", "GetSecurityDescriptorDacl",
    "InitializeSecurityDescriptor", "SetSecurityDescriptorDacl", "ImpersonateSelf",
    "RevertToSelf",
}


def main(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    faults = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        if dll not in ALLOWED_DLLS:
            faults.append("library " + dll)
        for imp in entry.imports:
            name = imp.name.decode() if imp.name else "#%d" % imp.ordinal
            if name in FORBIDDEN:
                faults.append("%s!%s" % (dll, name))
    for fault in faults:
        print("imports", fault)
    print("%s: %d import faults" % (path, len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
