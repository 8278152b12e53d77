#include "fixtures.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/mainwnd.h"
#include "app/startup.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "providers/fill.h"

namespace kvtest {

namespace {

const char kHostClass[] = "KvTestListHost";

// This run's folder for copies of the helper programs, made on first use and removed with
// everything in it when the run ends (every child has been ended and waited for by then).
class ScratchFolder {
public:
    ~ScratchFolder()
    {
        if (path_.empty())
            return;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((path_ + found.cFileName).c_str()); // fails on "." and ".."
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }

    // The folder's path with a trailing backslash, or "" when it cannot be made.
    const std::string &Path()
    {
        if (path_.empty()) {
            char temp[MAX_PATH];
            const DWORD length = GetTempPathA(sizeof temp, temp);
            if (length == 0 || length >= sizeof temp)
                return path_;
            char name[MAX_PATH];
            std::snprintf(name, sizeof name, "%skvtest-%lu\\", temp,
                          static_cast<unsigned long>(GetCurrentProcessId()));
            CreateDirectoryA(name, nullptr);
            path_ = name;
        }
        return path_;
    }

private:
    std::string path_;
};
ScratchFolder g_scratch;

// Copies `program` from beside the tests into this run's scratch folder under `exeName` and
// returns the copy's full path, or "" on failure. A copy that already exists (and may be
// running) is reused.
std::string CopyHelper(const char *program, const char *exeName)
{
    const std::string &folder = g_scratch.Path();
    if (folder.empty())
        return std::string();
    const std::string target = folder + exeName;
    if (!CopyFileA(BesideTests(program).c_str(), target.c_str(), FALSE) &&
        GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    return target;
}

// A freshly started process has no module list for a moment; a provider that looks then would
// record it without details for good.
// True once the process's modules can be listed; false when it ended first (a program the
// system started but could not run, such as a 32-bit one where the kernel refuses them).
bool WaitUntilModulesListed(HANDLE process)
{
    typedef BOOL(WINAPI * EnumModulesFn)(HANDLE, HMODULE *, DWORD, DWORD *);
    static EnumModulesFn enumModules = reinterpret_cast<EnumModulesFn>(reinterpret_cast<void *>(
        GetProcAddress(LoadLibraryA("psapi.dll"), "EnumProcessModules")));
    for (int attempt = 0; enumModules && attempt < 500; ++attempt) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (enumModules(process, &module, sizeof module, &needed) && needed >= sizeof module)
            return true;
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0)
            return false;
    }
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        // LVN_DELETEALLITEMS gets 0 too: one LVN_DELETEITEM per item, so each record is freed.
        LRESULT result = 0;
        AnswerListNotify(reinterpret_cast<NMHDR *>(lParam), &result);
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A running DriveModal; drivers nest, and only the innermost one answers.
struct Driver {
    const std::vector<ModalAnswer> *answers;
    ModalRepeat repeat;
    UINT_PTR timer;
    HWND first;
    bool acting; // its act runs, and may run an inner driver
    Driver *outer;
};
Driver *g_driver;

struct Match {
    HWND window;
    const ModalAnswer *answer;
};

const ModalAnswer *AnswerFor(HWND window, const std::vector<ModalAnswer> &answers)
{
    char name[64];
    if (!GetClassNameA(window, name, sizeof name) || !IsWindowEnabled(window) ||
        !IsWindowVisible(window))
        return nullptr;
    for (const ModalAnswer &answer : answers)
        if (!lstrcmpiA(name, answer.className) &&
            (!answer.controlId || GetDlgItem(window, answer.controlId)))
            return &answer;
    return nullptr;
}

BOOL CALLBACK FindAnswered(HWND window, LPARAM param)
{
    Match *match = reinterpret_cast<Match *>(param);
    match->answer = AnswerFor(window, *g_driver->answers);
    if (!match->answer)
        return TRUE;
    match->window = window;
    return FALSE;
}

void CALLBACK DriverTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    Driver *driver = g_driver;
    if (!driver || driver->timer != timer || driver->acting)
        return;
    Match match = {};
    EnumThreadWindows(GetCurrentThreadId(), FindAnswered, reinterpret_cast<LPARAM>(&match));
    if (!match.answer)
        return;
    if (!driver->first)
        driver->first = match.window;
    if (driver->repeat == kAnswerFirst)
        KillTimer(nullptr, driver->timer);
    driver->acting = true; // the act may pump messages itself
    match.answer->act(match.window);
    driver->acting = false;
}

BOOL CALLBACK EndModalWindow(HWND window, LPARAM)
{
    char name[64];
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        (!lstrcmpiA(name, "#32770") || !lstrcmpiA(name, "KELVANEDLG"))) {
        ADD_FAILURE() << "modal window \"" << WindowText(window) << "\" outlived its time limit";
        EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

void CALLBACK ModalLimitTick(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), EndModalWindow, 0);
}

} // namespace

ModalTimeLimit::ModalTimeLimit(DWORD limitMs) : timer_(SetTimer(nullptr, 0, limitMs, ModalLimitTick))
{
}

ModalTimeLimit::~ModalTimeLimit()
{
    KillTimer(nullptr, timer_);
}

std::string BesideTests(const char *name)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    std::string result(path);
    result.erase(result.find_last_of('\\') + 1);
    return result + name;
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const char *exeName, const char *arguments, bool captureOutput,
                         const char *program)
{
    Kill();
    path_ = CopyHelper(program, exeName);
    if (path_.empty())
        return false;
    std::string commandLine = "\"" + path_ + "\"";
    if (arguments)
        commandLine += std::string(" ") + arguments;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE writeEnd = nullptr;
    if (captureOutput) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        if (!CreatePipe(&output_, &writeEnd, &inherit, 0))
            return false;
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessA(path_.c_str(), &commandLine[0], nullptr, nullptr,
                                        captureOutput, 0, nullptr, nullptr, &startup, &info);
    if (writeEnd)
        CloseHandle(writeEnd);
    if (!started) {
        Kill();
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    if (!WaitUntilModulesListed(process_)) {
        Kill(); // it never ran: the caller skips what needed it
        return false;
    }
    return true;
}

bool ChildProcess::Kill()
{
    bool gone = true;
    if (process_) {
        TerminateProcess(process_, 1);
        gone = WaitForSingleObject(process_, 5000) == WAIT_OBJECT_0;
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (output_) {
        CloseHandle(output_);
        output_ = nullptr;
    }
    id_ = 0;
    pending_.clear();
    return gone;
}

bool ChildProcess::ReadLine(std::string *line, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line->assign(pending_, 0, end);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            pending_.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!output_ || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available) {
            char chunk[512];
            DWORD read = 0;
            if (!ReadFile(output_, chunk, sizeof chunk < available ? sizeof chunk : available,
                          &read, nullptr))
                return false;
            pending_.append(chunk, read);
            continue;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

PlantedDebugger::PlantedDebugger(const char *arguments)
{
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
                        0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        &key_, nullptr) != ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    char saved[2048];
    DWORD size = sizeof saved;
    if (RegQueryValueExA(key_, "Debugger", nullptr, &savedType_, reinterpret_cast<BYTE *>(saved),
                         &size) == ERROR_SUCCESS)
        saved_.assign(saved, size);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    record_ = std::string(temp) + "kvtest_debugger.txt";
    TakeRecorded();
    SetValue("\"" + BesideTests("kvchild.exe") + "\" --record \"" + record_ + "\" " + arguments);
}

void PlantedDebugger::SetValue(const std::string &value)
{
    RegSetValueExA(key_, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

PlantedDebugger::~PlantedDebugger()
{
    if (!key_)
        return;
    if (saved_.empty()) // a stored value holds at least its terminator
        RegDeleteValueA(key_, "Debugger");
    else
        RegSetValueExA(key_, "Debugger", 0, savedType_,
                       reinterpret_cast<const BYTE *>(saved_.data()),
                       static_cast<DWORD>(saved_.size()));
    RegCloseKey(key_);
    TakeRecorded();
}

std::string PlantedDebugger::TakeRecorded()
{
    std::ifstream file(record_);
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    file.close();
    DeleteFileA(record_.c_str());
    return text;
}

ListHost::ListHost()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass); // fails harmlessly once registered
    window_ = CreateWindowExA(0, kHostClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    g_sortColumn = 0;
    g_sortDirection = 1;
    KeepEndedProcesses(false); // as the table starts: a main window's refresh may have set it
    list_ = CreateProcessList(window_, WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                              WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
    previousList_ = g_processList;
    g_processList = list_;
}

ListHost::~ListHost()
{
    if (list_)
        ForgetAllProcesses(list_);
    g_processList = previousList_;
    if (window_)
        DestroyWindow(window_);
}

int ListHost::RowCount() const
{
    return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

ProcessRecord *ListHost::RecordOfRow(int row) const
{
    return row < RowCount() ? RecordAt(row) : nullptr;
}

int ListHost::FindRow(DWORD id, DWORD kind) const
{
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        const ProcessRecord *record = RecordOfRow(row);
        if (record && record->id == id && record->kind == kind)
            return row;
    }
    return -1;
}

std::string ListHost::CellText(int row, int column) const
{
    char text[MAX_PATH] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int ListHost::SelectedRow() const
{
    return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_SELECTED));
}

void ListHost::Select(int row) const
{
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = row >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    if (row >= 0)
        SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

void ListHost::SelectRecord(const ProcessRecord &record) const
{
    AddOrUpdateProcess(&record);
    ShowRows(list_);
    Select(FindRow(record.id, record.kind));
}

bool ListHost::SelectProcess(DWORD processId) const
{
    RefreshProcessList(list_);
    const int row = FindRow(processId);
    if (row >= 0)
        Select(row);
    return row >= 0;
}

int CountRecords()
{
    int count = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        ++count;
    return count;
}

BOOL WINAPI FailingEnumProcessModules(HANDLE, HMODULE *, DWORD, DWORD *)
{
    SetLastError(ERROR_PARTIAL_COPY);
    return FALSE;
}

void HideProcessDetails()
{
    g_ntApi.EnumProcessModules = FailingEnumProcessModules;
    g_ntApi.EnumProcessModulesEx = nullptr;
    g_ntApi.QueryFullProcessImageNameA = nullptr;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::string WindowText(HWND window)
{
    char text[MAX_PATH] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<std::string> HeaderTexts(HWND list)
{
    std::vector<std::string> titles;
    const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = "";
        HDITEMA item = {};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

std::vector<std::string> ListLines(HWND list)
{
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length == LB_ERR)
            continue;
        std::string line(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
        line.resize(static_cast<size_t>(length));
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LineTexts(const ::ListLines &lines)
{
    std::vector<std::string> texts;
    for (size_t i = 0; i < lines.Count(); ++i)
        texts.push_back(lines.Text(i));
    return texts;
}

void PressKey(HWND dialog, HWND list, UINT key)
{
    SendMessageA(dialog, WM_VKEYTOITEM, MAKEWPARAM(key, 0), reinterpret_cast<LPARAM>(list));
}

HWND DriveModal(const std::function<void()> &trigger, const std::vector<ModalAnswer> &answers,
                ModalRepeat repeat)
{
    ModalTimeLimit limit;
    Driver driver = {&answers, repeat, SetTimer(nullptr, 0, 20, DriverTick), nullptr, false,
                     g_driver};
    g_driver = &driver;
    trigger();
    KillTimer(nullptr, driver.timer);
    g_driver = driver.outer;
    return driver.first;
}

HWND WhileShown(const char *className, int controlId, const std::function<void()> &trigger,
                const std::function<void(HWND)> &act)
{
    return DriveModal(trigger, {{className, controlId, act}});
}

bool PrepareViews()
{
    DetectOs();
    SelectColumnSet(IsNt);
    RegisterDialogClass(g_instance); // fails harmlessly once registered
    return BindProvider();
}

HWND RunMainCommand(const ListHost &host, ViewCommand command,
                    const std::function<void(HWND)> &act, int controlId)
{
    const HWND savedMain = g_mainWindow;
    g_mainWindow = GetParent(host.List());
    const HWND shown =
        WhileShown("KELVANEDLG", controlId, [&] { command(g_mainWindow, 0, 0, 0); }, act);
    g_mainWindow = savedMain;
    return shown;
}

HWND RunViewCommand(const ListHost &host, ViewCommand command,
                    const std::function<void(HWND)> &act)
{
    return RunMainCommand(host, command, [&](HWND shown) {
        act(shown);
        if (IsWindow(shown))
            SendMessageA(shown, WM_CLOSE, 0, 0);
    });
}

void ListTest::OpenList()
{
    SelectColumnSet(true);
    host_.reset(new ListHost);
    ASSERT_TRUE(host_->List());
}

void ListTest::TearDown()
{
    host_.reset();
    SetExtraColumns(0);
    g_sortColumn = 0; // a sort by a column gone with the extra ones would outlive the test
    g_sortDirection = 1;
    g_ntApi = savedApi_;
    IsNt = savedIsNt_;
}

void ListTest::Pass()
{
    RefreshProcessList(host_->List());
}

void ViewTest::SetUp()
{
    ASSERT_TRUE(PrepareViews());
    host_.reset(new ListHost);
}

void ViewTest::TearDown()
{
    host_.reset();
    g_settings = savedSettings_;
}

HWND ViewTest::Run(const std::function<void(HWND)> &act) const
{
    return RunViewCommand(*host_, command_, act);
}

} // namespace kvtest
