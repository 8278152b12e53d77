#include "core/sysapi.h"

#include "core/exports.h"

namespace {

SystemApi g_api;

const ExportSlot kKernel[] = {
    {"MoveFileExA", &g_api.MoveFileExA},
    {"SystemTimeToTzSpecificLocalTime", &g_api.SystemTimeToTzSpecificLocalTime},
};
const ExportSlot kUser[] = {
    {"GetDpiForWindow", &g_api.GetDpiForWindow},
    {"GetWindowTextW", &g_api.GetWindowTextW},
    {"GetWindowTextLengthW", &g_api.GetWindowTextLengthW},
};
const ExportSlot kComctl[] = {
    {"DllGetVersion", &g_api.ComctlDllGetVersion},
};
const ExportSlot kNtdll[] = {
    {"NtQuerySystemInformation", &g_api.NtQuerySystemInformation},
};
const ExportLibrary kLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kKernel),
    Library("USER32.DLL", kLoadedOnly, kOptional, kUser),
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
