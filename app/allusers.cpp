#include "app/allusers.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/processlist.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "providers/debugpriv.h"
#include "resource.h"

namespace {

// "/takeover:<window>:<key>", the whole first argument: the window to replace, and the key it
// holds while it waits for the new instance. A switch whose window does not confirm the key was
// not given by that window, and the single-instance rule applies as without it.
const char kTakeoverSwitch[] = "/takeover:";
const UINT kTakeoverWaitMs = 30000;
const UINT kTakeoverCheckMs = 5000;
const int kIdiShield = 32518; // the system's shield icon, Windows Vista and later

DWORD g_takeoverKey; // nonzero while a started instance is waited for

// A key no other program can guess: the system's random bytes where it has them (Windows XP
// on), else the mixed clocks and identifiers of the moment.
DWORD NewTakeoverKey()
{
    BOOLEAN(WINAPI *const random)(PVOID, ULONG) = SysApi().RtlGenRandom;
    DWORD key = 0;
    if (!random || !random(&key, sizeof key)) {
        LARGE_INTEGER counter = {};
        QueryPerformanceCounter(&counter);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        unsigned long long mix = static_cast<unsigned long long>(counter.QuadPart) ^
                                 (static_cast<unsigned long long>(now.dwHighDateTime) << 32) ^
                                 now.dwLowDateTime ^ GetTickCount() ^
                                 (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                 reinterpret_cast<ULONG_PTR>(&mix);
        for (int round = 0; round < 3; ++round) { // spreads every bit over the whole value
            mix ^= mix >> 31;
            mix *= 0x9E3779B97F4A7C15ull;
        }
        key = static_cast<DWORD>(mix ^ (mix >> 32));
    }
    return key ? key : 1;
}

// Decimal digits only, at most 20 of them, advancing `at`; false when there are none.
bool ReadNumber(const char **at, unsigned long long *value)
{
    const char *start = *at;
    unsigned long long number = 0;
    while (**at >= '0' && **at <= '9' && *at - start < 20) {
        const unsigned digit = static_cast<unsigned>(**at - '0');
        if (number > (~0ull - digit) / 10)
            return false;
        number = number * 10 + digit;
        ++*at;
    }
    *value = number;
    return *at != start && !(**at >= '0' && **at <= '9');
}

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
    if (g_takeoverKey) // one restart at a time
        return 0;
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 0;
    const DWORD key = NewTakeoverKey();
    char parameters[64];
    std::snprintf(parameters, sizeof parameters, "%s%llu:%lu", kTakeoverSwitch,
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)),
                  static_cast<unsigned long>(key));
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
    if (ShellExecuteExA(&run))
        AwaitTakeover(window, key);
    return 0;
}

bool AwaitTakeover(HWND window, DWORD key)
{
    // Without the timer the wait would never end: the new instance is then not waited for.
    if (!key || SetTimer(window, kTakeoverTimerId, kTakeoverWaitMs, nullptr) == 0)
        return false;
    g_takeoverKey = key;
    EnableMenuItem(GetMenu(window), IDM_ALLUSERS, MF_BYCOMMAND | MF_GRAYED);
    return true;
}

void EndTakeoverWait(HWND window)
{
    KillTimer(window, kTakeoverTimerId);
    g_takeoverKey = 0;
    EnableMenuItem(GetMenu(window), IDM_ALLUSERS, MF_BYCOMMAND | MF_ENABLED);
}

LRESULT OnTakeoverCheck(HWND, UINT, WPARAM, LPARAM lParam)
{
    return g_takeoverKey && static_cast<DWORD>(lParam) == g_takeoverKey;
}

LRESULT OnTakenOver(HWND window, UINT, WPARAM, LPARAM lParam)
{
    if (!OnTakeoverCheck(window, 0, 0, lParam))
        return 0;
    EndTakeoverWait(window);
    DestroyWindow(window);
    return 0;
}

bool ParseTakeoverSwitch(const char *commandLine, TakeoverClaim *claim)
{
    *claim = {};
    const char *argument = FirstArgument(commandLine);
    if (!argument || std::strncmp(argument, kTakeoverSwitch, sizeof kTakeoverSwitch - 1) != 0)
        return false;
    const char *at = argument + sizeof kTakeoverSwitch - 1;
    unsigned long long window = 0, key = 0;
    if (!ReadNumber(&at, &window) || *at++ != ':' || !ReadNumber(&at, &key) ||
        (*at != '\0' && *at != ' ' && *at != '\t') || window == 0 || key == 0 ||
        key > 0xFFFFFFFFull || window != static_cast<ULONG_PTR>(window))
        return false;
    claim->window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(window));
    claim->key = static_cast<DWORD>(key);
    return true;
}

TakeoverClaim ConfirmedTakeover(const char *commandLine)
{
    TakeoverClaim claim;
    char className[MAX_PATH] = "";
    DWORD_PTR confirmed = 0;
    if (!ParseTakeoverSwitch(commandLine, &claim) || !IsWindow(claim.window) ||
        !GetClassNameA(claim.window, className, sizeof className) ||
        std::strcmp(className, g_className) != 0 ||
        !SendMessageTimeoutA(claim.window, WM_TAKEOVERCHECK, 0, static_cast<LPARAM>(claim.key),
                             SMTO_ABORTIFHUNG, kTakeoverCheckMs, &confirmed) ||
        confirmed != 1)
        return {};
    return claim;
}

const char *FirstArgument(const char *commandLine)
{
    if (!commandLine)
        return nullptr;
    const char *at = commandLine;
    if (*at == '"') {
        at = std::strchr(at + 1, '"');
        if (!at)
            return nullptr;
        ++at;
    } else {
        while (*at && *at != ' ' && *at != '\t')
            ++at;
    }
    while (*at == ' ' || *at == '\t')
        ++at;
    return *at ? at : nullptr;
}
