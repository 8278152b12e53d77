#include "app/allusers.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/settings.h"
#include "providers/debugpriv.h"
#include "resource.h"

namespace {

const char kTakeoverSwitch[] = "/takeover:";
const UINT kTakeoverWaitMs = 30000;
const int kIdiShield = 32518; // the system's shield icon, Windows Vista and later

bool g_awaitingTakeover;

// The shield as a menu bitmap of the small icon size; null when the system has none.
HBITMAP ShieldBitmap()
{
    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    HICON shield = static_cast<HICON>(
        LoadImageA(nullptr, MAKEINTRESOURCEA(kIdiShield), IMAGE_ICON, cx, cy, LR_SHARED));
    if (!shield)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32; // with alpha, which menus draw from Windows Vista on
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && bitmap) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        DrawIconEx(dc, 0, 0, shield, cx, cy, 0, nullptr, DI_NORMAL);
        SelectObject(dc, old);
    }
    if (dc)
        DeleteDC(dc);
    return bitmap;
}

} // namespace

void OfferAllUsers(HMENU menu)
{
    if (!TokenCanBeElevated())
        return;
    InsertMenuA(menu, IDM_EXIT, MF_BYCOMMAND | MF_STRING, IDM_ALLUSERS, ResText(IDS_MENU_ALLUSERS));
    InsertMenuA(menu, IDM_EXIT, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = ShieldBitmap(); // lives as long as the program
    if (item.hbmpItem)
        SetMenuItemInfoA(menu, IDM_ALLUSERS, FALSE, &item);
}

LRESULT OnAllUsersCommand(HWND window, WPARAM, WORD, LPARAM)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 0;
    char parameters[64];
    std::snprintf(parameters, sizeof parameters, "%s%llu", kTakeoverSwitch,
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    CaptureMainListWidths();
    SaveSettings();
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_FLAG_NO_UI; // a declined prompt shows nothing
    run.hwnd = window;
    run.lpVerb = "runas";
    run.lpFile = path;
    run.lpParameters = parameters;
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run))
        return 0;
    g_awaitingTakeover = SetTimer(window, kTakeoverTimerId, kTakeoverWaitMs, nullptr) != 0;
    return 0;
}

void EndTakeoverWait(HWND window)
{
    KillTimer(window, kTakeoverTimerId);
    g_awaitingTakeover = false;
}

LRESULT OnTakenOver(HWND window, UINT, WPARAM, LPARAM)
{
    if (!g_awaitingTakeover)
        return 0;
    EndTakeoverWait(window);
    DestroyWindow(window);
    return 0;
}

HWND WindowToTakeOver(const char *commandLine)
{
    const char *found = commandLine ? std::strstr(commandLine, kTakeoverSwitch) : nullptr;
    if (!found)
        return nullptr;
    char *end = nullptr;
    const unsigned long long value =
        std::strtoull(found + sizeof kTakeoverSwitch - 1, &end, 10);
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    char className[MAX_PATH] = "";
    if (end == found + sizeof kTakeoverSwitch - 1 || !IsWindow(window) ||
        !GetClassNameA(window, className, sizeof className) ||
        std::strcmp(className, g_className) != 0)
        return nullptr;
    return window;
}
