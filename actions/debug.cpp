#include "actions/debug.h"

#include <cstdio>

#include "actions/debugcommand.h"
#include "core/appstate.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "providers/procinfo.h"
#include "resource.h"

namespace {

const char kDebuggerKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
const DWORD kWaitForDebuggerMs = 10000; // the debugger signals the event once it is attached
const DWORD kValueLimit = 2048;                // the value with its terminator, read and expanded
const size_t kShownCommandChars = 160;         // of the command a "could not start" box shows
const DWORD kViewFlags[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY}; // by process width

// A message built from string `id` and up to two texts.
void Tell(HWND owner, UINT id, const char *first, const char *second, UINT type)
{
    char message[2 * kValueLimit + 512];
    std::snprintf(message, sizeof message, ResText(id), first, second);
    MessageBoxA(owner, message, g_className, type);
}

enum DebuggerValue { ValueRead, ValueMissing, ValueUnusable, ValueTooLong };

bool g_waitingForDebugger; // a debugger was started and has not attached, ended or timed out

// The registered debugger, from the registry view the system uses for crashes of a process of
// this width (on 64-bit Windows the two views hold different values).
DebuggerValue ReadDebugger(int bits, char *value, DWORD size)
{
    const DWORD view = SystemIs64Bit() && bits ? kViewFlags[bits == 64] : 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDebuggerKey, 0, KEY_QUERY_VALUE | view, &key) !=
        ERROR_SUCCESS)
        return ValueMissing;
    char raw[kValueLimit + 1];
    DWORD type = 0, bytes = kValueLimit;
    const LONG read =
        RegQueryValueExA(key, "Debugger", nullptr, &type, reinterpret_cast<BYTE *>(raw), &bytes);
    RegCloseKey(key);
    if (read == ERROR_FILE_NOT_FOUND)
        return ValueMissing;
    if (read == ERROR_MORE_DATA && (type == REG_SZ || type == REG_EXPAND_SZ))
        return ValueTooLong;
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return ValueUnusable;
    raw[bytes] = '\0'; // a stored string need not end with its terminator
    if (!raw[0])
        return ValueMissing;
    if (static_cast<DWORD>(lstrlenA(raw)) >= size)
        return ValueTooLong; // a string of all its bytes, without a terminator
    if (type == REG_SZ) {
        lstrcpyA(value, raw);
        return ValueRead;
    }
    const DWORD expanded = ExpandEnvironmentStringsA(raw, value, size);
    if (!expanded) {
        value[0] = '\0';
        return ValueUnusable;
    }
    return expanded <= size ? ValueRead : ValueTooLong;
}

// Tells why the registered value cannot be used.
void RefuseValue(HWND owner, DebuggerValue why, const char *value)
{
    if (why == ValueMissing) {
        ShowResMessage(owner, IDS_DEBUG_NONE, MB_OK | MB_ICONEXCLAMATION);
    } else if (why == ValueTooLong) {
        char message[512];
        std::snprintf(message, sizeof message, ResText(IDS_DEBUG_TOOLONG),
                      static_cast<int>(kValueLimit - 1));
        MessageBoxA(owner, message, g_className, MB_OK | MB_ICONEXCLAMATION);
    } else {
        Tell(owner, IDS_DEBUG_BADVALUE, value, "", MB_OK | MB_ICONEXCLAMATION);
    }
}

bool ConfirmDebug(HWND owner, const HeldProcess &held)
{
    char question[MAX_PATH + 256];
    std::snprintf(question, sizeof question, ResText(IDS_DEBUG_CONFIRM), held.Name(),
                  static_cast<unsigned long>(held.Ref().id));
    return MessageBoxA(owner, question, g_className, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Waits, bounded, until one of the handles is signalled, dispatching this thread's messages
// meanwhile so that the window paints and answers. A quit message ends the wait and is posted
// again for the main loop.
void WaitDispatching(HANDLE *handles, DWORD count, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs ||
            MsgWaitForMultipleObjects(count, handles, FALSE, limitMs - spent, QS_ALLINPUT) !=
                WAIT_OBJECT_0 + count)
            return; // signalled, timed out or failed
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Starts the command with the event inherited and waits, bounded, for the debugger's signal.
void StartDebugger(HWND owner, char *command, HANDLE event)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        char reason[256] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       GetLastError(), 0, reason, sizeof reason, nullptr);
        char shown[kShownCommandChars + 1];
        ShortenCommand(command, shown, sizeof shown);
        Tell(owner, IDS_DEBUG_NOSTART, shown, reason, MB_OK | MB_ICONERROR);
        return;
    }
    CloseHandle(started.hThread);
    HANDLE waits[2] = {event, started.hProcess}; // a debugger that ends early ends the wait
    g_waitingForDebugger = true;
    WaitDispatching(waits, 2, kWaitForDebuggerMs);
    g_waitingForDebugger = false;
    CloseHandle(started.hProcess);
}

} // namespace

LRESULT OnDebugCommand(HWND window, WPARAM, WORD, LPARAM)
{
    if (g_waitingForDebugger) { // this command is still waiting further down the stack
        ShowResMessage(window, IDS_DEBUG_BUSY, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    // Held until the debugger attached or gave up, so the identifier it is given stays this
    // process's.
    HeldProcess held(SelectedRecord());
    if (!held.Held() || held.Ref().kind != KindProcess || !ConfirmDebug(window, held) ||
        held.RefuseIfEnded(window))
        return 0;
    const DWORD id = held.Ref().id;
    char value[kValueLimit] = "";
    const DebuggerValue read = ReadDebugger(ProcessBits(id), value, sizeof value);
    if (read != ValueRead) {
        RefuseValue(window, read, value);
        return 0;
    }
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE event = CreateEventA(&inherited, TRUE, FALSE, nullptr);
    if (!event)
        return 0;
    char command[kValueLimit + 64];
    if (BuildDebuggerCommand(value, sizeof value, id, reinterpret_cast<ULONG_PTR>(event),
                             command, sizeof command))
        StartDebugger(window, command, event);
    else
        Tell(window, IDS_DEBUG_BADVALUE, value, "", MB_OK | MB_ICONEXCLAMATION);
    CloseHandle(event);
    return 0;
}
