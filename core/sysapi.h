// The optional system functions the program calls outside the providers, bound once, on first
// use, from one table per library. A function that an older system lacks is null here, and its
// caller takes the older way. The providers bind their own libraries in providers/bind.cpp.
#pragma once
#include <windows.h>

struct DllVersion { // DLLVERSIONINFO
    DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
};

struct SystemApi {
    // KERNEL32
    BOOL(WINAPI *MoveFileExA)(LPCSTR from, LPCSTR to, DWORD flags); // not on Windows 95
    // NT family only: the zone's daylight-saving rule at the given time
    BOOL(WINAPI *SystemTimeToTzSpecificLocalTime)(const TIME_ZONE_INFORMATION *zone,
                                                  const SYSTEMTIME *utc, SYSTEMTIME *local);
    // NT family only: the processors a process may run on
    BOOL(WINAPI *GetProcessAffinityMask)(HANDLE process, PDWORD_PTR processMask,
                                         PDWORD_PTR systemMask);
    BOOL(WINAPI *SetProcessAffinityMask)(HANDLE process, DWORD_PTR processMask);
    // Windows XP and later: the console of the program that started this one
    BOOL(WINAPI *AttachConsole)(DWORD processId);
    // USER32, Windows 10 and later
    UINT(WINAPI *GetDpiForWindow)(HWND window);
    // USER32, working on the NT family only (Windows 9x has stubs that fail)
    int(WINAPI *GetWindowTextW)(HWND window, LPWSTR text, int size);
    int(WINAPI *GetWindowTextLengthW)(HWND window);
    // USER32, Windows 98 and NT 5 on: the screens of a machine with several
    HMONITOR(WINAPI *MonitorFromWindow)(HWND window, DWORD flags);
    BOOL(WINAPI *GetMonitorInfoA)(HMONITOR monitor, MONITORINFO *info);
    // ADVAPI32, Windows XP and later: random bytes from the system
    BOOLEAN(WINAPI *RtlGenRandom)(PVOID buffer, ULONG size);
    // COMCTL32
    HRESULT(CALLBACK *ComctlDllGetVersion)(DllVersion *info);
    // NTDLL, NT family only
    LONG(WINAPI *NtSuspendProcess)(HANDLE process); // NTDLL, XP and later
    LONG(WINAPI *NtResumeProcess)(HANDLE process);
    LONG(WINAPI *NtQuerySystemInformation)(int infoClass, PVOID info, ULONG size,
                                           PULONG returned);
};

const SystemApi &SysApi();

// The work area (the screen without the taskbar and docked bars) of the screen the window is
// mostly on; of the primary screen where the system knows one screen only.
RECT ScreenWorkArea(HWND window);

// Dots per inch of the screen the window is on (of the primary screen for null, or where the
// system knows no per-window value).
int ScreenDpi(HWND window);
