#include "actions/kill.h"

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/processref.h"
#include "core/settings.h"
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
    const HeldProcess *held = HostState<const HeldProcess>(host);
    char question[MAX_PATH + 24];
    FormatKillQuestion(held->Name(), held->Ref().id, g_settings.hexProcessId, CP_ACP, question,
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

// The most processes the question for several names; the rest are counted.
const size_t kListedInQuestion = 10;

// Yes or No over the main window for several processes: how many, and the first few by name and
// identifier.
bool AskKillSeveral(const HeldProcesses &held)
{
    char lines[kListedInQuestion * (MAX_PATH + 40)] = "";
    size_t used = 0;
    for (size_t i = 0; i < held.Count() && i < kListedInQuestion; ++i) {
        std::snprintf(lines + used, sizeof lines - used, "%s (%s)\n", held[i].Name(),
                      held[i].ShownId());
        used += std::strlen(lines + used);
    }
    if (held.Count() > kListedInQuestion)
        std::snprintf(lines + used, sizeof lines - used, ResText(IDS_KILL_MORE),
                      static_cast<int>(held.Count() - kListedInQuestion));
    char question[sizeof lines + MAX_PATH];
    std::snprintf(question, sizeof question, ResText(IDS_KILL_SEVERAL),
                  static_cast<int>(held.Count()), lines);
    return MessageBoxA(g_mainWindow, question, g_className,
                       MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// Each process is looked up again after the question; one that ended or whose identifier passed
// on is skipped. What was skipped or failed is told once, at the end.
void KillSeveral(const HeldProcesses &held)
{
    if (!AskKillSeveral(held))
        return;
    ProcessReport report;
    for (size_t i = 0; i < held.Count(); ++i) {
        if (held[i].Ended())
            report.Skipped(held[i]);
        else if (const UINT failure = EndProcess(held[i].Ref()))
            report.Failed(held[i], failure);
    }
    report.Show(g_mainWindow);
    RefreshMain();
}

} // namespace

void FormatKillQuestion(const char *name, DWORD id, bool hex, UINT codePage, char *out,
                        size_t size)
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
    // The closing quote, the identifier and the question mark win over the end of a long name.
    char tail[24];
    const int tailLength = std::snprintf(tail, sizeof tail, hex ? "' (%x)?" : "' (%u)?",
                                         static_cast<unsigned>(id));
    const size_t room = static_cast<size_t>(tailLength);
    if (used + room > last)
        used = last >= room ? last - room : 0;
    for (const char *p = tail; *p; ++p)
        put(*p);
    out[used] = '\0';
}

UINT EndProcess(const ProcessRef &ref)
{
    HANDLE process = OpenToTerminate(ref);
    if (process) {
        const BOOL ended = TerminateProcess(process, static_cast<UINT>(-1));
        if (ended)
            WaitForSingleObject(process, kKillWaitMs);
        CloseHandle(process);
        return ended ? 0 : IDS_CANT_TERMINATE;
    }
    const ProcessRecord *task =
        ref.kind == KindTask16 ? FindProcessRecord(ref.id, KindTask16) : nullptr;
    if (task && TerminateWowTask(task->parentId, task->task16))
        return 0;
    return IDS_ACCESS_DENIED;
}

BOOL KillProcess(const ProcessRef &ref)
{
    const UINT failure = EndProcess(ref);
    if (failure)
        Warn(failure);
    return !failure;
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

LRESULT OnKillTreeCommand(HWND, WPARAM, WORD, LPARAM)
{
    const HeldProcesses tree(ProcessTreeOf(SelectedRecords()));
    if (tree.Count())
        KillSeveral(tree);
    return 0;
}

LRESULT OnKillCommand(HWND, WPARAM, WORD, LPARAM)
{
    if (SelectedCount() > 1) {
        const HeldProcesses several(SelectedRecords());
        KillSeveral(several);
        return 0;
    }
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
