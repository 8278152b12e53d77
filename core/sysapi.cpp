#include "core/sysapi.h"

#include "core/exports.h"

namespace {

SystemApi g_api;

const ExportSlot kKernel[] = {
    {"MoveFileExA", &g_api.MoveFileExA},
    {"SystemTimeToTzSpecificLocalTime", &g_api.SystemTimeToTzSpecificLocalTime},
    {"GetProcessAffinityMask", &g_api.GetProcessAffinityMask},
    {"SetProcessAffinityMask", &g_api.SetProcessAffinityMask},
    {"AttachConsole", &g_api.AttachConsole},
};
const ExportSlot kUser[] = {
    {"GetDpiForWindow", &g_api.GetDpiForWindow},
    {"GetWindowTextW", &g_api.GetWindowTextW},
    {"GetWindowTextLengthW", &g_api.GetWindowTextLengthW},
    {"MonitorFromWindow", &g_api.MonitorFromWindow},
    {"GetMonitorInfoA", &g_api.GetMonitorInfoA},
};
const ExportSlot kAdvapi[] = {
    {"SystemFunction036", &g_api.RtlGenRandom},
};
const ExportSlot kComctl[] = {
    {"DllGetVersion", &g_api.ComctlDllGetVersion},
};
const ExportSlot kNtdll[] = {
    {"NtQuerySystemInformation", &g_api.NtQuerySystemInformation},
    {"NtSuspendProcess", &g_api.NtSuspendProcess},
    {"NtResumeProcess", &g_api.NtResumeProcess},
};
const ExportLibrary kLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kKernel),
    Library("USER32.DLL", kLoadedOnly, kOptional, kUser),
    Library("ADVAPI32.DLL", kLoadedOnly, kOptional, kAdvapi),
    Library("COMCTL32.DLL", kLoadedOnly, kOptional, kComctl),
    Library("NTDLL.DLL", kLoadedOnly, kOptional, kNtdll),
};

} // namespace

const SystemApi &SysApi()
{
    static bool bound = false;
    if (!bound) {
        BindLibraries(g_systemExports, kLibraries);
        bound = true;
    }
    return g_api;
}

int ScreenDpi(HWND window)
{
    UINT(WINAPI *const forWindow)(HWND) = SysApi().GetDpiForWindow;
    if (window && forWindow) {
        const UINT dpi = forWindow(window);
        if (dpi)
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

RECT ScreenWorkArea(HWND window)
{
    const SystemApi &api = SysApi();
    HMONITOR monitor = api.MonitorFromWindow && api.GetMonitorInfoA
                           ? api.MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                           : nullptr;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && api.GetMonitorInfoA(monitor, &info))
        return info.rcWork;
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return work;
}
