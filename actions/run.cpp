#include "actions/run.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/save.h"
#include "core/settings.h"
#include "resource.h"

namespace {

const char kHistoryValue[] = "RunHistory";
const char kHistorySeparator = '\n';
// The largest stored history read: every command at its longest, each with its separator.
const DWORD kHistoryBytes = kRunHistorySize * (kRunMaxChars + 1) + 1;

// The shell's old error numbers (hInstApp) as system error codes, for when it set no last error.
struct ShellError {
    INT_PTR shell;
    DWORD system;
};
const ShellError kShellErrors[] = {
    {SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
    {SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
    {SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
    {SE_ERR_OOM, ERROR_NOT_ENOUGH_MEMORY},
    {SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
    {SE_ERR_ASSOCINCOMPLETE, ERROR_NO_ASSOCIATION},
    {SE_ERR_SHARE, ERROR_SHARING_VIOLATION},
    {ERROR_BAD_FORMAT, ERROR_BAD_FORMAT},
};

DWORD ShellFailure(const SHELLEXECUTEINFOA &info)
{
    const DWORD last = GetLastError();
    if (last)
        return last;
    const INT_PTR code = reinterpret_cast<INT_PTR>(info.hInstApp);
    for (const ShellError &error : kShellErrors)
        if (error.shell == code)
            return error.system;
    return ERROR_GEN_FAILURE;
}

// Tells the user that `shown` could not be opened and the system's reason for `error`.
void ReportFailure(HWND owner, UINT failedText, const char *shown, DWORD error)
{
    char reason[256] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        0, reason, sizeof reason, nullptr))
        std::snprintf(reason, sizeof reason, "%lu", static_cast<unsigned long>(error));
    char message[kRunMaxChars + 512];
    std::snprintf(message, sizeof message, ResText(failedText), shown, reason);
    MessageBoxA(owner, message, g_className, MB_OK | MB_ICONERROR);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The typed line (trimmed in place) as the program to open and its parameters. A quoted start
// is the program; else the whole line when it names a file or folder (a path with spaces typed
// without quotes), else its first word. Returns 0, or the system error that says why the line
// names nothing.
DWORD SplitCommand(char *line, const char **file, const char **parameters)
{
    while (IsBlank(*line))
        ++line;
    size_t length = std::strlen(line);
    while (length && IsBlank(line[length - 1]))
        line[--length] = '\0';
    if (!length)
        return ERROR_INVALID_NAME;
    char *rest;
    if (line[0] == '"') {
        char *close = std::strchr(line + 1, '"');
        if (!close || close == line + 1)
            return ERROR_INVALID_NAME;
        *close = '\0';
        *file = line + 1;
        rest = close + 1;
    } else if (GetFileAttributesA(line) != INVALID_FILE_ATTRIBUTES) {
        *file = line;
        rest = line + length;
    } else {
        rest = line + std::strcspn(line, " \t");
        *file = line;
        if (*rest)
            *rest++ = '\0';
    }
    while (IsBlank(*rest))
        ++rest;
    *parameters = rest;
    // The shell's ANSI calls take no longer program name; some stall on one.
    return std::strlen(*file) < MAX_PATH ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

void LoadHistory(RunHistory *history)
{
    history->count = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, g_settingsKeyPath, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    char *text = static_cast<char *>(std::malloc(kHistoryBytes));
    DWORD type = REG_NONE, size = kHistoryBytes;
    if (text &&
        RegQueryValueExA(key, kHistoryValue, nullptr, &type, reinterpret_cast<BYTE *>(text),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ && size <= kHistoryBytes)
        ParseRunHistory(text, size, history);
    std::free(text);
    RegCloseKey(key);
}

// Puts `command` first in the stored history, dropping an earlier copy and the oldest beyond
// the limit.
void Remember(const char *command)
{
    RunHistory *history = static_cast<RunHistory *>(std::malloc(sizeof(RunHistory)));
    char *stored = static_cast<char *>(std::malloc(kHistoryBytes));
    HKEY key;
    if (history && stored &&
        RegCreateKeyExA(HKEY_CURRENT_USER, g_settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        LoadHistory(history);
        size_t length = std::strlen(command);
        std::memcpy(stored, command, length);
        for (int i = 0, kept = 1; i < history->count && kept < kRunHistorySize; ++i) {
            if (std::strcmp(history->entries[i], command) == 0)
                continue;
            stored[length++] = kHistorySeparator;
            const size_t entry = std::strlen(history->entries[i]);
            std::memcpy(stored + length, history->entries[i], entry);
            length += entry;
            ++kept;
        }
        stored[length] = '\0';
        RegSetValueExA(key, kHistoryValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(stored),
                       static_cast<DWORD>(length + 1));
        RegCloseKey(key);
    }
    std::free(stored);
    std::free(history);
}

// Elevation by the "runas" verb exists from Windows Vista (NT 6) on.
bool CanElevate()
{
    const DWORD version = GetVersion();
    return IsNt && LOBYTE(LOWORD(version)) >= 6;
}

void InitRunDialog(DialogHost *host)
{
    HWND combo = GetDlgItem(host->dialog, IDC_RUN_COMMAND);
    SendMessageA(combo, CB_LIMITTEXT, kRunMaxChars, 0);
    RunHistory *history = static_cast<RunHistory *>(std::malloc(sizeof(RunHistory)));
    if (history) {
        LoadHistory(history);
        for (int i = 0; i < history->count; ++i)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(history->entries[i]));
    }
    std::free(history);
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    if (!CanElevate())
        ShowWindow(GetDlgItem(host->dialog, IDC_RUN_ADMIN), SW_HIDE);
    SetFocus(combo);
}

// OK: runs the typed command. It is remembered once it started; after a failure the dialog
// stays open for another try.
void RunTyped(DialogHost *host)
{
    HWND dialog = host->dialog;
    char typed[kRunMaxChars + 1] = "", line[kRunMaxChars + 1];
    GetDlgItemTextA(dialog, IDC_RUN_COMMAND, typed, sizeof typed);
    lstrcpynA(line, typed, sizeof line);
    const char *file = "", *parameters = "";
    if (const DWORD error = SplitCommand(line, &file, &parameters)) {
        ReportFailure(dialog, IDS_RUN_FAILED, typed, error);
        return;
    }
    const bool elevated =
        CanElevate() && IsDlgButtonChecked(dialog, IDC_RUN_ADMIN) == BST_CHECKED;
    if (!ShellOpen(dialog, elevated ? "runas" : nullptr, file, parameters, IDS_RUN_FAILED, typed))
        return;
    Remember(typed);
    EndHostedDialog(host, IDOK);
}

// Browse: the chosen file goes into the box, quoted when it holds a space.
void BrowseForProgram(HWND dialog)
{
    char path[MAX_PATH] = "";
    if (!ChooseFileToOpen(dialog, IDS_RUN_FILTER, path))
        return;
    char chosen[MAX_PATH + 2];
    std::snprintf(chosen, sizeof chosen, std::strchr(path, ' ') ? "\"%s\"" : "%s", path);
    SetDlgItemTextA(dialog, IDC_RUN_COMMAND, chosen);
}

bool RunDialogMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND)
        return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        RunTyped(host);
        return true;
    case IDC_RUN_BROWSE:
        BrowseForProgram(host->dialog);
        return true;
    default:
        return false;
    }
}

const DialogSpec kRunDialog = {.init = InitRunDialog, .message = RunDialogMessage};

} // namespace

void ParseRunHistory(const char *text, size_t size, RunHistory *history)
{
    history->count = 0;
    size_t start = 0;
    while (start < size && text[start] && history->count < kRunHistorySize) {
        size_t end = start;
        while (end < size && text[end] && text[end] != kHistorySeparator)
            ++end;
        const size_t length = end - start;
        char *entry = history->entries[history->count];
        if (length && length <= static_cast<size_t>(kRunMaxChars)) {
            std::memcpy(entry, text + start, length);
            entry[length] = '\0';
            bool repeated = false;
            for (int i = 0; i < history->count; ++i)
                repeated = repeated || std::strcmp(history->entries[i], entry) == 0;
            if (!repeated)
                ++history->count;
        }
        start = end < size && text[end] == kHistorySeparator ? end + 1 : end;
    }
}

bool ShellOpen(HWND owner, const char *verb, const char *file, const char *parameters,
               UINT failedText, const char *shown)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters && *parameters ? parameters : nullptr;
    info.nShow = SW_SHOWNORMAL;
    SetLastError(0);
    if (ShellExecuteExA(&info))
        return true;
    ReportFailure(owner, failedText, shown, ShellFailure(info));
    return false;
}

LRESULT OnRunCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenView(g_mainWindow, IDD_RUN, &kRunDialog);
    return 0;
}
