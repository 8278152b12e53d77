#include "actions/kill.h"

#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "providers/fill.h"
#include "resource.h"

namespace {

// A process that cannot finish ending (held in the kernel) must not freeze the window for good;
// the refresh after the wait shows whether it went.
const DWORD kKillWaitMs = 5000;

void Warn(UINT stringId)
{
    ShowResMessage(g_mainWindow, stringId, MB_OK | MB_ICONEXCLAMATION);
}

// The warning is the dialog's only control without an identifier.
HWND FindWarning(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (LOWORD(GetDlgCtrlID(child)) == 0xFFFF)
            return child;
    return nullptr;
}

// Height the control's text takes when wrapped to `width` in the control's own font, as a
// static control draws it.
int WrappedTextHeight(HWND control, int width)
{
    char text[1024];
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    if (!dc)
        return 0;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    RECT rect = {0, 0, width, 0};
    DrawTextA(dc, text, -1, &rect, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return rect.bottom - rect.top;
}

void MoveBy(HWND dialog, HWND control, int down, int taller)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&rect), 2);
    SetWindowPos(control, nullptr, rect.left, rect.top + down, rect.right - rect.left,
                 rect.bottom - rect.top + taller, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The template sizes the warning for one font. In another (the substitute for "MS Sans Serif"
// under Wine and on many current systems) it wraps onto a line more and would hide its last
// line, the question. The warning gets the height its text needs; what lies below it moves down
// and the dialog grows by as much.
void FitWarning(HWND dialog)
{
    HWND warning = FindWarning(dialog);
    RECT box;
    if (!warning || !GetClientRect(warning, &box))
        return;
    const int grow = WrappedTextHeight(warning, box.right) - box.bottom;
    if (grow <= 0)
        return;
    RECT rect;
    GetWindowRect(warning, &rect);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT other;
        GetWindowRect(child, &other);
        if (child != warning && other.top >= rect.bottom)
            MoveBy(dialog, child, grow, 0);
    }
    MoveBy(dialog, warning, 0, grow);
    GetWindowRect(dialog, &rect);
    SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The dialog's state is the process it asks about.
void InitKillDialog(DialogHost *host)
{
    FitWarning(host->dialog);
    char question[MAX_PATH + 4];
    FormatKillQuestion(HostState<const HeldProcess>(host)->Name(), CP_ACP, question,
                       sizeof question);
    SetDlgItemTextA(host->dialog, IDC_KILL_QUESTION, question);
}

const int kKillEndings[] = {IDOK, IDC_KILL_NOTIFY, 0};
const DialogSpec kKillDialog = {.endings = kKillEndings, .init = InitKillDialog};

// A handle that may end the process, and wait for it where the system grants that; null for a
// 16-bit task, which is no process of its own.
HANDLE OpenToTerminate(const ProcessRef &ref)
{
    if (ref.kind == KindTask16)
        return nullptr;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ref.id);
    if (!process) // some systems grant termination but not waiting
        process = OpenProcess(PROCESS_TERMINATE, FALSE, ref.id);
    return process;
}

} // namespace

void FormatKillQuestion(const char *name, UINT codePage, char *out, size_t size)
{
    size_t used = 0;
    const size_t last = size - 1; // room for the terminator
    auto put = [&](char c) {
        if (used < last)
            out[used++] = c;
    };
    put('\'');
    for (const char *p = name ? name : ""; *p && used < last; ++p) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p)) && p[1]) {
            if (used + 2 > last)
                break; // never split a character
            put(p[0]);
            put(*++p);
        } else {
            put(*p >= 'a' && *p <= 'z' ? static_cast<char>(*p - 'a' + 'A') : *p);
        }
    }
    // The closing quote and question mark win over the end of a long name.
    if (used + 2 > last)
        used = last >= 2 ? last - 2 : 0;
    put('\'');
    put('?');
    out[used] = '\0';
}

BOOL KillProcess(const ProcessRef &ref)
{
    HANDLE process = OpenToTerminate(ref);
    if (process) {
        const BOOL ended = TerminateProcess(process, static_cast<UINT>(-1));
        if (ended)
            WaitForSingleObject(process, kKillWaitMs);
        else
            Warn(IDS_CANT_TERMINATE);
        CloseHandle(process);
        return ended;
    }
    const ProcessRecord *task =
        ref.kind == KindTask16 ? FindProcessRecord(ref.id, KindTask16) : nullptr;
    if (task && TerminateWowTask(task->parentId, task->task16))
        return TRUE;
    Warn(IDS_ACCESS_DENIED);
    return FALSE;
}

HWND FindProcessWindow(DWORD id, HWND first, DWORD excludedStyles, bool byProcess)
{
    for (HWND window = first; window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD processId = 0;
        const DWORD threadId = GetWindowThreadProcessId(window, &processId);
        if ((byProcess ? processId : threadId) == id) {
            const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
            if ((style & (WS_SYSMENU | WS_VISIBLE)) == (WS_SYSMENU | WS_VISIBLE) &&
                !(style & excludedStyles))
                return window;
            continue; // its children are its own business
        }
        if (HWND found = FindProcessWindow(id, GetWindow(window, GW_CHILD), excludedStyles,
                                           byProcess))
            return found;
    }
    return nullptr;
}

HWND FindActivatableWindow(const ProcessRef &ref)
{
    // A 16-bit task's identifier is that of its thread.
    const bool byProcess = ref.kind != KindTask16;
    static const DWORD kPasses[] = {WS_POPUP | WS_MINIMIZE, WS_MINIMIZE, 0};
    for (DWORD excluded : kPasses) {
        HWND found = FindProcessWindow(ref.id, GetWindow(GetDesktopWindow(), GW_CHILD), excluded,
                                       byProcess);
        if (found)
            return found;
    }
    return nullptr;
}

bool NotifyProcess(const ProcessRef &ref)
{
    HWND window = FindActivatableWindow(ref);
    if (!window) {
        Warn(IDS_NOTIFY_NO_WINDOW);
        return false;
    }
    SetForegroundWindow(window);
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

LRESULT OnKillCommand(HWND, WPARAM, WORD, LPARAM)
{
    HeldProcess held(SelectedRecord());
    if (!held.Held())
        return 0;
    const INT_PTR choice = OpenView(g_mainWindow, IDD_KILL, &kKillDialog, &held);
    if (choice != IDOK && choice != IDC_KILL_NOTIFY)
        return 0;
    if (!held.RefuseIfEnded(g_mainWindow)) {
        if (choice == IDOK)
            KillProcess(held.Ref());
        else
            NotifyProcess(held.Ref());
    }
    RefreshMain();
    return 0;
}
