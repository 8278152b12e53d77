// The modules view opened for real from its command on a running child (vt_full.exe, which has a
// version record), driven from inside its modal loop: its lines against the child's real module
// list, refilling, its timer, the Version view behind a double click and the save with the common
// dialog filled in. Also the file-time text both views show.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"
#include "views/filetime.h"
#include "views/modules.h"

namespace {

std::string TempPath(const char *name)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

bool ListHas(HWND list, const char *line)
{
    return SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(line)) != LB_ERR;
}

std::vector<std::string> Split(const std::string &line)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

struct Module {
    std::string name, path;
    ULONG_PTR base;
    SIZE_T size;
};

// The modules of a process as the system's snapshot reports them.
std::vector<Module> ModulesOf(DWORD processId)
{
    std::vector<Module> modules;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        modules.push_back({entry.szModule, entry.szExePath,
                           reinterpret_cast<ULONG_PTR>(entry.modBaseAddr), entry.modBaseSize});
    CloseHandle(snapshot);
    return modules;
}

// The view on vt_full.exe, idling for a minute.
class ModulesView : public kvtest::ViewTest {
protected:
    ModulesView() : ViewTest(OnModulesCommand) {}

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("vt_full.exe", "wait", false, "vt_full.exe"));
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    }

    // Selects a row the provider never reported (a process with this name), or none for id -1.
    void SelectRow(DWORD id, const std::string &name)
    {
        if (id == static_cast<DWORD>(-1)) {
            host_->Select(-1);
            return;
        }
        ProcessRecord record = {};
        record.id = id;
        lstrcpynA(record.name, name.c_str(), MAX_PATH);
        host_->SelectRecord(record);
    }
};

// Where, in the view, the Full Path column starts, and how far its longest system path
// (a module from the system folder) reaches from there, in pixels.
void MeasurePathColumn(HWND view, const std::vector<std::string> &lines, int *start, int *reach)
{
    HWND header = GetDlgItem(view, IDC_MODULE_HEADER), list = GetDlgItem(view, IDC_MODULE_LIST);
    const LRESULT at = SendMessageA(header, EM_POSFROMCHAR,
                                    kvtest::WindowText(header).find("Full Path"), 0);
    POINT column = {static_cast<short>(LOWORD(at)), 0};
    MapWindowPoints(header, view, &column, 1);
    *start = column.x;
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    HDC dc = GetDC(list);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    *reach = 0;
    for (const std::string &line : lines) {
        const std::string path = Split(line).back();
        SIZE size = {};
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path.c_str(),
                           std::min<int>(length, path.size()), system, length) == CSTR_EQUAL &&
            GetTextExtentPoint32A(dc, path.c_str(), static_cast<int>(path.size()), &size))
            *reach = std::max<int>(*reach, size.cx);
    }
    ReleaseDC(list, dc);
}

TEST_F(ModulesView, ListsEveryModuleWithItsBaseSizeCreationTimeAndPath)
{
    std::string title, header;
    std::vector<std::string> lines;
    int pathStart = 0, pathReach = 0;
    RECT listClient = {};
    ASSERT_TRUE(Run([&](HWND view) {
        title = kvtest::WindowText(view);
        header = kvtest::WindowText(GetDlgItem(view, IDC_MODULE_HEADER));
        lines = kvtest::ListLines(GetDlgItem(view, IDC_MODULE_LIST));
        MeasurePathColumn(view, lines, &pathStart, &pathReach);
        HWND list = GetDlgItem(view, IDC_MODULE_LIST);
        GetClientRect(list, &listClient);
        MapWindowPoints(list, view, reinterpret_cast<POINT *>(&listClient), 2);
        // Narrower (as on a screen too small for it), the list scrolls sideways as far as
        // the paths reached.
        RECT rect;
        GetWindowRect(view, &rect);
        SetWindowPos(view, nullptr, 0, 0, (rect.right - rect.left) / 2, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        SCROLLINFO sideways = {sizeof sideways, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
        EXPECT_TRUE(GetScrollInfo(list, SB_HORZ, &sideways));
        EXPECT_GE(sideways.nMax + 1, pathStart + pathReach - listClient.left);
        EXPECT_LT(sideways.nPage, static_cast<UINT>(sideways.nMax + 1));
    }));
    // At its opening size the view shows the system's modules' paths whole.
    EXPECT_GT(pathReach, 0);
    EXPECT_LE(pathStart + pathReach, listClient.right);
    EXPECT_EQ("Modules -- vt_full.exe", title);
    EXPECT_EQ("Module\tBase\tSize\tCreated\tFull Path", header);
    const std::vector<Module> modules = ModulesOf(child_.Id());
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(modules.size(), lines.size());
    for (const Module &module : modules) {
        char base[32], size[32];
        std::snprintf(base, sizeof base, sizeof(void *) == 8 ? "%016llx" : "%08llx",
                      static_cast<unsigned long long>(module.base));
        std::snprintf(size, sizeof size, "%8llu", static_cast<unsigned long long>(module.size));
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const std::string &l) { return Split(l)[1] == base; });
        ASSERT_NE(lines.end(), line) << module.name << " at " << base;
        const std::vector<std::string> fields = Split(*line);
        ASSERT_EQ(5u, fields.size()) << *line;
        EXPECT_EQ(0, lstrcmpiA(module.name.c_str(), fields[0].c_str())) << fields[0];
        EXPECT_EQ(size, fields[2]);
        EXPECT_NE(std::string::npos, fields[3].find("  ")) << fields[3]; // date, two spaces, time
        EXPECT_EQ(0, lstrcmpiA(module.path.c_str(), fields[4].c_str())) << fields[4];
    }
}

TEST_F(ModulesView, OpensOnlyForASelectedProcessAndCutsALongTitleTo258Characters)
{
    SelectRow(0x7ffffff0, std::string(300, 'n'));
    std::string title;
    std::vector<std::string> lines;
    const auto read = [&](HWND view) {
        title = kvtest::WindowText(view);
        lines = kvtest::ListLines(GetDlgItem(view, IDC_MODULE_LIST));
    };
    ASSERT_TRUE(Run(read));
    EXPECT_EQ("Modules -- " + std::string(258 - 11, 'n'), title);
    // No process has that identifier: the view says it cannot read the modules.
    EXPECT_EQ(std::vector<std::string>{"(The modules of this process cannot be read.)"}, lines);
    // A 32-bit build on 64-bit Windows names the reason for a 64-bit process.
    BOOL self64on32 = FALSE;
    IsWow64Process(GetCurrentProcess(), &self64on32);
    bool named = false;
    for (int row = 0; self64on32 && !named && row < host_->RowCount(); ++row) {
        const DWORD id = host_->RecordOfRow(row)->id;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
        BOOL wow64 = TRUE;
        const bool wide = process && IsWow64Process(process, &wow64) && !wow64;
        CloseHandle(process);
        if (!wide)
            continue;
        host_->Select(row);
        ASSERT_TRUE(Run(read));
        EXPECT_EQ(std::vector<std::string>{
                      "(A 64-bit process: only the 64-bit Kelvane can read its modules.)"},
                  lines);
        named = true;
    }
    EXPECT_EQ(bool(self64on32), named); // Wine's own services run as 64-bit processes
    SelectRow(0, "process zero");
    EXPECT_FALSE(Run([](HWND) {}));
    SelectRow(static_cast<DWORD>(-1), "");
    EXPECT_FALSE(Run([](HWND) {}));
}

TEST_F(ModulesView, RefillKeepsScrollPositionAndSelection)
{
    int top = -1;
    std::string selected;
    std::vector<std::string> after;
    ASSERT_TRUE(Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_MODULE_LIST);
        RECT frame, listFrame; // shrink the view until the list shows two lines
        GetWindowRect(view, &frame);
        GetWindowRect(list, &listFrame);
        const int shrink = listFrame.bottom - listFrame.top - 4 -
                           2 * static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
        SetWindowPos(view, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top - shrink, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("~stray"));
        const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        SendMessageA(list, LB_SETCURSEL, count - 2, 0);
        SendMessageA(list, LB_SETTOPINDEX, 2, 0);
        ASSERT_EQ(2, SendMessageA(list, LB_GETTOPINDEX, 0, 0));
        selected = kvtest::ListLines(list)[count - 2];
        kvtest::PressKey(view, list, VK_F5);
        top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
        after = kvtest::ListLines(list);
        const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
        EXPECT_TRUE(index >= 0 && after[index] == selected) << index;
    }));
    EXPECT_EQ(2, top);
    EXPECT_EQ(after.end(), std::find(after.begin(), after.end(), "~stray"));
}

TEST_F(ModulesView, RefreshTimerFollowsTheSetting)
{
    for (int seconds : {0, 1}) {
        g_settings.moduleRefresh = seconds;
        bool refilled = seconds == 0;
        ASSERT_TRUE(Run([&](HWND view) {
            HWND list = GetDlgItem(view, IDC_MODULE_LIST);
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("~stray"));
            refilled = kvtest::PumpUntil([&] { return !ListHas(list, "~stray"); },
                                         seconds ? 4000 : 1500);
        }));
        EXPECT_EQ(seconds != 0, refilled) << seconds << " s";
    }
}

TEST_F(ModulesView, DoubleClickShowsTheModulesVersionOwnedByTheView)
{
    std::string fileVersion, created;
    bool withoutSelection = true;
    ASSERT_TRUE(Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_MODULE_LIST);
        auto doubleClick = [&] {
            SendMessageA(view, WM_COMMAND, MAKEWPARAM(IDC_MODULE_LIST, LBN_DBLCLK),
                         reinterpret_cast<LPARAM>(list));
        };
        auto versionShown = [&](const std::function<void(HWND)> &act) {
            return kvtest::WhileShown("KELVANEDLG", IDC_VER_FILEVERSION, doubleClick, act) != nullptr;
        };
        auto close = [](HWND version) { SendMessageA(version, WM_CLOSE, 0, 0); };
        withoutSelection = versionShown(close);
        const std::vector<std::string> lines = kvtest::ListLines(list);
        for (size_t i = 0; i < lines.size(); ++i)
            if (Split(lines[i])[0] == "vt_full.exe")
                SendMessageA(list, LB_SETCURSEL, i, 0);
        EXPECT_TRUE(versionShown([&](HWND version) {
            EXPECT_EQ(view, GetWindow(version, GW_OWNER));
            EXPECT_FALSE(IsWindowEnabled(view));
            fileVersion = kvtest::WindowText(GetDlgItem(version, IDC_VER_FILEVERSION));
            created = kvtest::WindowText(GetDlgItem(version, IDC_VER_CREATED));
            close(version);
        }));
    }));
    EXPECT_FALSE(withoutSelection);
    EXPECT_EQ("2.0.0.0", fileVersion);
    EXPECT_NE("---", created);
    EXPECT_EQ(std::string::npos, created.find("  ")) << created; // one space in this view
}

TEST_F(ModulesView, SaveWritesEachLineWithTheModulesVersionColumns)
{
    const std::string file = TempPath("kv_modules_save.txt");
    DeleteFileA(file.c_str());
    std::vector<std::string> lines;
    ASSERT_TRUE(Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_MODULE_LIST);
        lines = kvtest::ListLines(list);
        EXPECT_TRUE(kvtest::WhileShown(
            "#32770", IDOK, [&] { kvtest::PressKey(view, list, VK_F2); }, [&](HWND save) {
                HWND name = GetDlgItem(save, 0x47c); // cmb13, else edt1
                SetWindowTextA(name ? name : GetDlgItem(save, 0x480), file.c_str());
                SendMessageA(save, WM_COMMAND, IDOK, 0);
            }));
    }));
    std::vector<std::string> saved;
    {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            saved.push_back(line);
    }
    DeleteFileA(file.c_str());
    ASSERT_EQ(lines.size(), saved.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i] + "\t", saved[i].substr(0, lines[i].size() + 1));
        const std::string versions = saved[i].substr(lines[i].size());
        EXPECT_EQ(2, std::count(versions.begin(), versions.end(), '\t')) << saved[i];
        if (Split(lines[i])[0] == "vt_full.exe") {
            EXPECT_EQ("\t2.0.0.0\tBeschreibung", versions);
        }
    }
}

TEST(FileTime, ShowsTheChosenTimeAndNeverWritesPastTheLimit)
{
    const std::string path = TempPath("kv_filetime.txt");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    SYSTEMTIME early = {2001, 2, 0, 3, 12, 0, 0, 0}, late = {2011, 5, 0, 6, 12, 0, 0, 0};
    FILETIME created, written;
    SystemTimeToFileTime(&early, &created);
    SystemTimeToFileTime(&late, &written);
    ASSERT_TRUE(SetFileTime(file, &created, nullptr, &written));
    CloseHandle(file);

    // Where the file system keeps no creation time of its own, both may read the same.
    char text[100];
    ASSERT_TRUE(FormatFileTime(path.c_str(), text, sizeof text, "  ", FileTimeModified));
    EXPECT_NE(std::string::npos, std::string(text).find("2011")) << text;
    ASSERT_TRUE(FormatFileTime(path.c_str(), text, sizeof text, "  ", FileTimeCreated));
    const std::string full = text;

    // Every limit gives the whole text or "---" cut to the limit, and nothing beyond the limit.
    for (int limit = 1; limit <= static_cast<int>(full.size()) + 1; ++limit) {
        char buffer[120];
        std::memset(buffer, '#', sizeof buffer);
        const bool done = FormatFileTime(path.c_str(), buffer, limit, "  ", FileTimeCreated);
        EXPECT_EQ(limit == static_cast<int>(full.size()) + 1, done) << limit;
        EXPECT_EQ(done ? full : std::string("---").substr(0, limit - 1), buffer) << limit;
        EXPECT_EQ(std::string(sizeof buffer - limit, '#'), std::string(buffer + limit, sizeof buffer - limit));
    }
    DeleteFileA(path.c_str());
    EXPECT_FALSE(FormatFileTime(path.c_str(), text, sizeof text, "  ", FileTimeCreated));
    EXPECT_STREQ("---", text);
}

} // namespace
