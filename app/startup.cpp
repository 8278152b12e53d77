#include "app/startup.h"

#include "app/allusers.h"
#include "app/filterbox.h"
#include "app/mainwnd.h"
#include "app/statusgraphs.h"
#include "app/tray.h"
#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/dpi.h"
#include "core/sysapi.h"
#include "core/settings.h"
#include "providers/debugpriv.h"
#include "providers/provider.h"
#include "resource.h"

namespace {

// Held by a starting instance from before its search for a running one until its own window
// exists, so that of several simultaneous starts only one creates a window and the others find
// it. A start that is stuck holding it delays the others by this much at the most.
const char kStartLockName[] = "Kelvane.StartLock";
const DWORD kStartLockWaitMs = 30000;

// The primary screen's work area, where a default position puts a window; the whole screen when
// the system does not say.
RECT WorkArea()
{
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return work;
}

// Moves a window no larger than the work area so that all of it lies inside.
void PlaceInsideWorkArea(HWND window)
{
    const RECT work = WorkArea();
    RECT rect;
    GetWindowRect(window, &rect);
    int x = rect.left, y = rect.top;
    if (rect.right > work.right)
        x -= rect.right - work.right;
    if (rect.bottom > work.bottom)
        y -= rect.bottom - work.bottom;
    x = x < work.left ? work.left : x;
    y = y < work.top ? work.top : y;
    if (x != rect.left || y != rect.top)
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = g_className;
    wc.hIconSm = g_smallIcon;
    if (RegisterClassExA(&wc))
        return true;
    // Systems without the extended call register the same class without the small icon.
    WNDCLASSA plain = {};
    plain.style = wc.style;
    plain.lpfnWndProc = wc.lpfnWndProc;
    plain.hInstance = wc.hInstance;
    plain.hIcon = wc.hIcon;
    plain.hCursor = wc.hCursor;
    plain.hbrBackground = wc.hbrBackground;
    plain.lpszMenuName = wc.lpszMenuName;
    plain.lpszClassName = wc.lpszClassName;
    return RegisterClassA(&plain) != 0;
}

HICON LoadSmallIcon(HINSTANCE instance, int id)
{
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

HANDLE TakeStartLock()
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, kStartLockName);
    if (lock && WaitForSingleObject(lock, kStartLockWaitMs) == WAIT_TIMEOUT) {
        CloseHandle(lock); // go on unguarded rather than not at all
        lock = nullptr;
    }
    return lock;
}

void ReleaseStartLock(HANDLE lock)
{
    if (!lock)
        return;
    ReleaseMutex(lock);
    CloseHandle(lock);
}

// Everything from the single-instance rule to the shown main window, and the sampler of the
// machine's history. An instance started to replace a running window (the restart with
// administrator rights) starts beside it when that window confirms the key it was given, and
// tells it to end once its own window exists.
bool StartInstance(HINSTANCE instance, int showCommand)
{
    const TakeoverClaim replaced = ConfirmedTakeover(GetCommandLineA());
    if (!g_settings.allowMultiplyInstances && !replaced.window) {
        HWND running = FindWindowA(g_className, nullptr);
        if (running) {
            SendMessageA(running, WM_SYSCOMMAND, SC_RESTORE, 0);
            return false;
        }
    }
    if (!BindProvider()) {
        ShowResMessage(nullptr, IsNt ? IDS_NEED_PSAPI : IDS_NEED_TOOLHELP, MB_OK);
        return false;
    }
    EnableDebugPrivilege("SeDebugPrivilege", SE_PRIVILEGE_ENABLED);

    g_instance = instance;
    g_smallIcon = LoadSmallIcon(instance, IDI_MAIN);
    g_usageIcon = LoadSmallIcon(instance, IDI_MODULEUSAGE);
    if (!RegisterMainClass(instance))
        return false;

    HWND window = CreateWindowExA(0, g_className, g_windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, g_settings.windowWidth, g_settings.windowHeight,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return false;
    PlaceInsideWorkArea(window);
    StartSystemSampler(window);
    if (g_settings.startMinimized) {
        SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else {
        SetMainTimer(TRUE);
        ShowWindow(window, showCommand);
        UpdateWindow(window);
    }
    if (replaced.window)
        PostMessageA(replaced.window, WM_TAKENOVER, 0, static_cast<LPARAM>(replaced.key));
    return true;
}

} // namespace

bool InitInstance(HINSTANCE instance, int showCommand)
{
    DetectOs();
    // The default window size is meant for a 96-dpi screen; a stored size is in pixels already.
    const int dpi = ScreenDpi(nullptr);
    g_settings.windowWidth = ScaleFrom96(g_settings.windowWidth, dpi);
    g_settings.windowHeight = ScaleFrom96(g_settings.windowHeight, dpi);
    LoadSettings();
    const RECT work = WorkArea();
    FitWindowSize(dpi, work.right - work.left, work.bottom - work.top);
    LoadStringA(nullptr, IDS_APPTITLE, g_windowTitle, MAX_PATH);
    LoadStringA(nullptr, IDS_APPCLASS, g_className, MAX_PATH);

    HANDLE lock = g_settings.allowMultiplyInstances ? nullptr : TakeStartLock();
    const bool started = StartInstance(instance, showCommand);
    ReleaseStartLock(lock);
    return started;
}

bool RegisterDialogClass(HINSTANCE instance)
{
    WNDCLASSA dialogClass;
    if (!GetClassInfoA(nullptr, MAKEINTRESOURCEA(0x8002), &dialogClass))
        return false;
    dialogClass.hInstance = instance;
    dialogClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    dialogClass.lpszClassName = "KELVANEDLG";
    return RegisterClassA(&dialogClass) != 0;
}

int RunMessageLoop(HACCEL accelerators)
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // A window that stays open beside the main one (Find Handle or DLL) handles its own keys.
        if (HandleModelessMessage(&msg))
            continue;
        // Against the main window, not msg.hwnd: keys typed into the list must reach it too. The
        // main window's keys act only while it is the active window.
        if (FilterBoxKeepsKey(msg) || GetActiveWindow() != g_mainWindow ||
            !TranslateAcceleratorA(g_mainWindow, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
