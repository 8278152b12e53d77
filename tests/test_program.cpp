// The program itself, started as a separate process under Wine: single-instance rule, Ctrl+Q,
// settings written at exit, and start-up on the Windows 9x family.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"

namespace {

const char kKeyPath[] = "Software\\Orvik\\kelvane";

using kvtest::BesideTests;

// Keeps the user's stored settings and puts them back afterwards.
class StoredSettings {
public:
    StoredSettings()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        char name[256];
        BYTE data[1024];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, dataSize = sizeof data, type;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
                break;
            values.push_back({name, type, std::string(reinterpret_cast<char *>(data), dataSize)});
        }
        RegCloseKey(key);
    }
    ~StoredSettings()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath);
        if (values.empty())
            return;
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        for (const Value &v : values)
            RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE *>(v.data.data()),
                           static_cast<DWORD>(v.data.size()));
        RegCloseKey(key);
    }
    static void Set(const char *name, const char *text)
    {
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                       static_cast<DWORD>(strlen(text) + 1));
        RegCloseKey(key);
    }
    static std::string Get(const char *name)
    {
        char text[520] = "";
        DWORD size = sizeof text - 1;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        LONG status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? std::string(text) : "<no value>";
    }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> values;
};

bool IsProgramWindow(HWND window)
{
    char cls[64];
    return GetClassNameA(window, cls, sizeof cls) && !strcmp(cls, "Kelvane");
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

// Visible: the window has finished WM_CREATE and holds its children.
BOOL CALLBACK FindProgramWindow(HWND window, LPARAM param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && IsProgramWindow(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CountProgramWindow(HWND window, LPARAM param)
{
    if (IsProgramWindow(window))
        ++*reinterpret_cast<int *>(param);
    return TRUE;
}

struct Program {
    PROCESS_INFORMATION info = {};
    // With `output`, the program's standard output is that (inheritable) handle.
    explicit Program(const std::string &exe, const std::string &arguments = "",
                     HANDLE output = nullptr)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (output) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = output;
        }
        std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                       nullptr, &startup, &info);
    }
    ~Program()
    {
        if (info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
        }
        if (info.hProcess) {
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    bool Started() const { return info.hProcess != nullptr; }
    DWORD WaitExit(DWORD ms) const
    {
        if (WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    // The program's visible main window, or null when it has none (yet).
    HWND ShownWindow() const
    {
        WindowSearch search = {info.dwProcessId, nullptr};
        EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND MainWindow(DWORD ms = 20000) const
    {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            if (HWND found = ShownWindow())
                return found;
            if (WaitForSingleObject(info.hProcess, 50) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }
};

int CountMainWindows()
{
    int count = 0;
    EnumWindows(CountProgramWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Types the keys as a user would: each pressed in order, then released in reverse order.
void PressKeys(std::initializer_list<WORD> vks)
{
    std::vector<INPUT> keys;
    for (WORD vk : vks) {
        INPUT key = {};
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = vk;
        keys.push_back(key);
    }
    for (size_t i = vks.size(); i-- > 0;) {
        keys.push_back(keys[i]);
        keys.back().ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// Clicks the first row of the program's process list, which takes the keyboard focus.
void ClickFirstRow(HWND window)
{
    SetForegroundWindow(window);
    Sleep(300);
    HWND list = GetDlgItem(window, kProcessListId);
    RECT header;
    GetWindowRect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);
    SetCursorPos(header.left + 20, header.bottom + 8);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    Sleep(300);
}

int RowCount(HWND window)
{
    return static_cast<int>(SendMessageA(GetDlgItem(window, kProcessListId), LVM_GETITEMCOUNT, 0, 0));
}

class ProgramRun : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CountMainWindows(), 0) << "another instance is running"; }
    StoredSettings stored;
};

} // namespace

// Of several starts at once exactly one opens a window; the others end without one. A later
// start restores the running instance and ends too.
TEST_F(ProgramRun, SimultaneousStartsLeaveOneWindowWhichALaterStartRestores)
{
    StoredSettings::Set("AllowMultiplyInstances", "0");
    std::vector<std::unique_ptr<Program>> starts;
    for (int i = 0; i < 20; ++i)
        starts.emplace_back(new Program(BesideTests("kelvane.exe")));
    // Wait until each has either ended or shown its window.
    ASSERT_TRUE(kvtest::PumpUntil(
        [&] {
            for (const auto &start : starts)
                if (start->WaitExit(0) == STILL_ACTIVE && !start->ShownWindow())
                    return false;
            return true;
        },
        30000));
    const Program *first = nullptr;
    for (const auto &start : starts) {
        if (start->WaitExit(0) != STILL_ACTIVE) {
            EXPECT_EQ(start->WaitExit(0), 0u);
            continue;
        }
        EXPECT_EQ(first, nullptr) << "a second instance kept running";
        first = start.get();
    }
    ASSERT_NE(first, nullptr);
    HWND window = first->ShownWindow();
    EXPECT_EQ(CountMainWindows(), 1);

    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));
    Program second(BesideTests("kelvane.exe"));
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitExit(20000), 0u);
    EXPECT_EQ(CountMainWindows(), 1);
    EXPECT_FALSE(IsIconic(window));
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(first->WaitExit(20000), 0u);
}

TEST_F(ProgramRun, MultipleInstancesRunSideBySideWhenAllowed)
{
    StoredSettings::Set("AllowMultiplyInstances", "1");
    Program first(BesideTests("kelvane.exe"));
    ASSERT_NE(first.MainWindow(), nullptr);
    Program second(BesideTests("kelvane.exe"));
    HWND secondWindow = second.MainWindow();
    ASSERT_NE(secondWindow, nullptr);
    EXPECT_EQ(CountMainWindows(), 2);
    PostMessageA(secondWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(second.WaitExit(20000), 0u);
    PostMessageA(first.MainWindow(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(first.WaitExit(20000), 0u);
}

// After a click on a row the keys still reach the main window: F5 refreshes (no timer runs) and
// Ctrl+Q ends the program, which writes its settings. A stored size too small to use opens the
// default window inside the work area; the stored sort comes back and is written again.
TEST_F(ProgramRun, KeysWorkAfterARowClickAndCtrlQWritesSettings)
{
    StoredSettings::Set("AllowMultiplyInstances", "0");
    StoredSettings::Set("HexProcessId", "1");
    StoredSettings::Set("RefreshTimes", " 0 1 2 3 0");
    StoredSettings::Set("WindowSize", " 3 3"); // a caption bar: the default size instead
    StoredSettings::Set("SortColumn", " 1 -1");
    Program program(BesideTests("kelvane.exe"));
    HWND window = program.MainWindow();
    ASSERT_NE(window, nullptr);
    RECT shown, work;
    GetWindowRect(window, &shown);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(shown.right - shown.left, std::min<LONG>(800, work.right - work.left));
    EXPECT_GE(shown.bottom - shown.top, std::min<LONG>(500, work.bottom - work.top));
    EXPECT_TRUE(shown.left >= work.left && shown.top >= work.top && shown.right <= work.right &&
                shown.bottom <= work.bottom);
    SetWindowPos(window, nullptr, 0, 0, 612, 345, SWP_NOMOVE | SWP_NOZORDER);
    ClickFirstRow(window);
    const int rows = RowCount(window);
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvtest_keys.exe"));
    PressKeys({VK_F5});
    EXPECT_TRUE(kvtest::PumpUntil([&] { return RowCount(window) > rows; }, 5000));
    PressKeys({VK_CONTROL, 'Q'});
    ASSERT_EQ(program.WaitExit(20000), 0u);
    EXPECT_EQ(StoredSettings::Get("WindowSize"), " 612 345");
    EXPECT_EQ(StoredSettings::Get("HexProcessId"), "1");
    EXPECT_EQ(StoredSettings::Get("RefreshTimes"), " 0 1 2 3 0");
    EXPECT_EQ(StoredSettings::Get("UseSysTray"), "1");
    EXPECT_EQ(StoredSettings::Get("SortColumn"), " 1 -1"); // restored, so kept
}

TEST_F(ProgramRun, StartsWithNinetyFiveFamilyProvider)
{
    // The test prefix tells Wine to report Windows 98 to programs named kelvane98.exe.
    const std::string copy = BesideTests("kelvane98.exe");
    ASSERT_TRUE(CopyFileA(BesideTests("kelvane.exe").c_str(), copy.c_str(), FALSE));
    Program program(copy);
    HWND window = program.MainWindow();
    ASSERT_NE(window, nullptr);
    // The list of the Windows 9x family has six columns (Threads and Type added).
    HWND list = GetDlgItem(window, kProcessListId);
    ASSERT_NE(list, nullptr);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 6);
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(program.WaitExit(20000), 0u);
    DeleteFileA(copy.c_str());
}

HWND FindProgramWindow(const char *className, const char *title, DWORD ms)
{
    HWND found = nullptr;
    kvtest::PumpUntil([&] { return (found = FindWindowA(className, title)) != nullptr; }, ms);
    return found;
}

// Ctrl+I opens the System Information view with its figures filled in; keys reach it although
// none of its controls takes the focus: F5 reads the figures without adding a sample to the
// history, which holds one a second, and F2 asks where to save.
TEST_F(ProgramRun, SystemInformationOpensWithCtrlIAndTakesItsKeys)
{
    const DWORD started = GetTickCount();
    Program program(BesideTests("kelvane.exe"));
    HWND window = program.MainWindow();
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    Sleep(300);
    PressKeys({VK_CONTROL, 'I'});
    HWND view = FindProgramWindow(nullptr, "System Information", 5000);
    ASSERT_NE(view, nullptr);
    char processes[32] = "", commit[64] = "";
    kvtest::PumpUntil([&] {
        GetDlgItemTextA(view, IDC_SYSINFO_VALUE_PROCESSES, processes, sizeof processes);
        return atoi(processes) > 0;
    }, 5000);
    EXPECT_GT(atoi(processes), 2) << processes;
    GetDlgItemTextA(view, IDC_SYSINFO_VALUE_COMMIT, commit, sizeof commit);
    EXPECT_NE(std::string(commit).find(" K / "), std::string::npos) << commit;
    for (int press = 0; press < 60; ++press) {
        PressKeys({VK_F5});
        kvtest::Pump();
    }
    PressKeys({VK_F2});
    HWND save = FindProgramWindow("#32770", nullptr, 5000);
    ASSERT_NE(save, nullptr);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string file = std::string(folder) + "kv_sysinfo_save.txt";
    DeleteFileA(file.c_str());
    Sleep(500);
    HWND name = GetDlgItem(save, 0x47c); // cmb13, else edt1
    SetWindowTextA(name ? name : GetDlgItem(save, 0x480), file.c_str());
    PostMessageA(save, WM_COMMAND, IDOK, 0);
    std::string text;
    kvtest::PumpUntil([&] {
        std::ifstream in(file);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return text.find("\n1\t") != std::string::npos;
    }, 5000);
    EXPECT_EQ(text.compare(0, 10, "CPU Usage\t"), 0) << text;
    EXPECT_NE(text.find("\nProcesses\t" + std::string(processes) + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nSample\tCPU Usage\tKernel\t"), std::string::npos) << text;
    // The last line is the newest sample, numbered from the oldest.
    const size_t lastLine = text.find_last_of('\n', text.size() - 2) + 1;
    EXPECT_LE(strtoul(text.c_str() + lastLine, nullptr, 10), (GetTickCount() - started) / 1000 + 1)
        << text;
    DeleteFileA(file.c_str());
    PostMessageA(view, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    program.WaitExit(20000);
}

namespace {

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string ReadFileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Everything the program writes to its standard output, through a pipe, and its exit code.
std::string ListToPipe(DWORD *exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    Program program(BesideTests("kelvane.exe"), "/list", writeEnd);
    CloseHandle(writeEnd);
    std::string text;
    char chunk[4096];
    for (DWORD read; ReadFile(readEnd, chunk, sizeof chunk, &read, nullptr) && read;)
        text.append(chunk, read);
    CloseHandle(readEnd);
    *exitCode = program.WaitExit(20000);
    return text;
}

// The temporary files of writes beside a target that are left in `folder`.
int CountTemporaryFiles(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "~*kvs.tmp").c_str(), &found);
    int count = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        ++count;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return count;
}

} // namespace

// "/list:FILE" and "/list" write the titles of the stored columns and a line per process (the
// CPU figure from two readings) without a window and despite a running instance; a target that
// cannot be written ends with 1 and leaves nothing under its name.
TEST_F(ProgramRun, ListSwitchWritesTheStoredColumnsOfEveryProcessWithoutAWindow)
{
    StoredSettings::Set("ExtraColumns", " 1"); // the CPU column
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvtest_listed.exe"));
    char cpuTitle[64] = "";
    LoadStringA(nullptr, IDS_COL_CPU, cpuTitle, sizeof cpuTitle);
    const std::string header = std::string("Name\tID\tPriority\t") + cpuTitle + "\tFull Path";
    const std::string childStart = "kvtest_listed.exe\t" + std::to_string(child.Id()) + "\tNormal\t";
    const auto check = [&](const std::string &text) {
        const std::vector<std::string> lines = SplitLines(text);
        ASSERT_LT(2u, lines.size()) << text;
        EXPECT_EQ(header, lines[0]);
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &l) {
            return l.compare(0, childStart.size(), childStart) == 0;
        });
        ASSERT_NE(lines.end(), line) << text;
        EXPECT_NE('\t', (*line)[childStart.size()]) << "a CPU figure after two readings: " << *line;
        EXPECT_TRUE(std::is_sorted(lines.begin() + 1, lines.end(), [](const std::string &a, const std::string &b) {
            return lstrcmpiA(a.substr(0, a.find('\t')).c_str(), b.substr(0, b.find('\t')).c_str()) < 0;
        }));
    };

    Program running(BesideTests("kelvane.exe")); // the single-instance rule does not apply
    ASSERT_TRUE(running.MainWindow());
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const int leftovers = CountTemporaryFiles(temp);
    const std::string file = std::string(temp) + "kv_list.txt";
    DeleteFileA(file.c_str());
    Program toFile(BesideTests("kelvane.exe"), "\"/list:" + file + "\"");
    EXPECT_EQ(0u, toFile.WaitExit(20000));
    check(ReadFileText(file));
    DWORD exitCode = STILL_ACTIVE;
    check(ListToPipe(&exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(1, CountMainWindows());
    PostMessageA(running.MainWindow(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0u, running.WaitExit(20000));

    std::ofstream(file, std::ios::binary) << "earlier";
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string tooLong = std::string(temp) + std::string(300, 'x') + ".txt";
    for (const std::string &bad : {std::string(), std::string(temp), file, tooLong}) {
        Program refused(BesideTests("kelvane.exe"), "\"/list:" + bad + "\"");
        EXPECT_EQ(1u, refused.WaitExit(20000)) << bad;
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("earlier", ReadFileText(file));
    DeleteFileA(file.c_str());
    EXPECT_EQ(leftovers, CountTemporaryFiles(temp));
}
