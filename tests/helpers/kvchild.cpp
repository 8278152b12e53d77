// A small program the tests start under known names so that they can look at real processes.
//   kvchild [--lifetime MS] [--threads P1,P2,...] [--window TITLE] [--busy MS] [--record FILE]
//           [-e HANDLE] [--tree DEPTH] [--hold FILE]
// It idles until killed (or until the lifetime ends); --threads starts one sleeping thread per
// listed priority (e.g. -2,0,2,15) and prints "thread ID PRIORITY" lines on standard output;
// --window creates a visible top-level window with the given title; --busy keeps one processor
// busy for the given time first. As a stand-in debugger, --record FILE writes its command line
// to FILE and -e HANDLE signals the inherited event. --tree DEPTH starts two copies of itself
// with --tree DEPTH-1 (none at 0), so that it heads a tree of processes. --hold FILE creates FILE
// and keeps it open (deleted when the child ends), so that its handle table names it; it prints
// "held yes" once the file is open ("held no" when it could not be made).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static DWORD WINAPI SleepForever(LPVOID)
{
    for (;;)
        Sleep(INFINITE);
}

static void StartThreads(const char *list)
{
    while (*list) {
        int priority = std::atoi(list);
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, SleepForever, nullptr, CREATE_SUSPENDED, &id);
        if (thread) {
            SetThreadPriority(thread, priority);
            ResumeThread(thread);
            std::printf("thread %lu %d\n", static_cast<unsigned long>(id), priority);
        }
        const char *comma = std::strchr(list, ',');
        if (!comma)
            break;
        list = comma + 1;
    }
    std::fflush(stdout);
}

static void CreateTopWindow(const char *title)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvChildWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND window = CreateWindowA("KvChildWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
}

static void StartSubtree(int depth)
{
    char path[MAX_PATH], commandLine[MAX_PATH + 32];
    if (depth <= 0 || !GetModuleFileNameA(nullptr, path, MAX_PATH))
        return;
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" --tree %d", path, depth - 1);
    for (int child = 0; child < 2; ++child) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
}

static void HoldFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    std::printf("held %s\n", file != INVALID_HANDLE_VALUE ? "yes" : "no");
    std::fflush(stdout);
}

static void Spin(DWORD milliseconds)
{
    volatile unsigned long counter = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds)
        ++counter;
}

int main(int argc, char **argv)
{
    DWORD lifetime = INFINITE;
    bool window = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--lifetime"))
            lifetime = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (!std::strcmp(argv[i], "--threads"))
            StartThreads(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--record")) {
            FILE *file = std::fopen(argv[i + 1], "w");
            if (file) {
                std::fputs(GetCommandLineA(), file);
                std::fclose(file);
            }
        } else if (!std::strcmp(argv[i], "-e"))
            SetEvent(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(
                std::strtoull(argv[i + 1], nullptr, 10))));
        else if (!std::strcmp(argv[i], "--tree"))
            StartSubtree(std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--hold"))
            HoldFile(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--busy"))
            Spin(static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10)));
        else if (!std::strcmp(argv[i], "--window")) {
            CreateTopWindow(argv[i + 1]);
            window = true;
        }
    }
    if (!window) {
        Sleep(lifetime);
        return 0;
    }
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return 0;
            DispatchMessageA(&msg);
        }
        if (lifetime != INFINITE && GetTickCount() - start >= lifetime)
            return 0;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}
