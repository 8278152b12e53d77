// Saving the main list through the real save dialog, then reading the file back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <io.h>
#include <iterator>
#include <string>
#include <vector>

#include "actions/dump.h"
#include "core/appstate.h"
#include "core/columns.h"
#include "core/processlist.h"
#include "core/save.h"
#include "core/settings.h"
#include "fixtures.h"
#include "providers/fill.h"

namespace {

// What a save's dialogs were told and showed.
struct SaveDriver {
    std::string proposed; // the name the save dialog offered
    std::string message;  // text of the program's message box, if one showed
};

// Answers every dialog `save` shows, whatever order they come in: the save dialog (its file
// name box is cmb13 or edt1) gets `path`, an overwrite question gets Yes, and the program's
// own message box is read and closed.
SaveDriver Drive(const std::string &path, const std::function<void()> &save)
{
    SaveDriver driver;
    const auto choosePath = [&](HWND dialog) {
        HWND fileName = GetDlgItem(dialog, 0x47c);
        if (!fileName)
            fileName = GetDlgItem(dialog, 0x480);
        driver.proposed = kvtest::WindowText(fileName);
        SetWindowTextA(fileName, path.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    const auto readMessage = [&](HWND box) {
        EXPECT_EQ(g_className, kvtest::WindowText(box));
        char text[1024] = ""; // the text may hold a long path and the reason
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        driver.message = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    kvtest::DriveModal(save,
                       {{"#32770", 0x47c, choosePath},
                        {"#32770", 0x480, choosePath},
                        {"#32770", IDYES, [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); }},
                        {"#32770", IDOK, readMessage}},
                       kvtest::kAnswerEvery);
    return driver;
}

SaveDriver SaveMainListTo(const std::string &path)
{
    return Drive(path, [] { SaveMainList(nullptr, 0, 0, 0); });
}

std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string TempFile(const char *name)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

// Files in the temporary folder that a save may have left behind.
int CountSaveLeftovers()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(TempFile("~*kvs.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        ++count;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void WriteText(const std::string &path, const char *text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class SaveMain : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kvtest::PrepareViews()); }
    void TearDown() override
    {
        g_settings = saved_;
        SetExtraColumns(0);
        DeleteFileA(file_.c_str());
    }
    std::vector<std::string> Expected(const kvtest::ListHost &host, bool hex) const
    {
        std::vector<std::string> lines;
        char id[16];
        for (int row = 0; row < host.RowCount(); ++row) {
            const ProcessRecord *record = host.RecordOfRow(row);
            wsprintfA(id, hex ? "%x" : "%u", record->id);
            lines.push_back(std::string(record->name) + "\t" + id + "\t" + record->path + "\r");
        }
        return lines;
    }
    Settings saved_ = g_settings;
    std::string file_ = TempFile("kv_main_save.txt");
};

} // namespace

TEST_F(SaveMain, WritesNameIdAndPathOfEveryRowInDisplayOrder)
{
    kvtest::ListHost host;
    RefreshProcessList(host.List());
    ASSERT_GT(host.RowCount(), 1);
    // Sort by identifier, descending, as a user's two header clicks would.
    NMLISTVIEW click = {};
    click.hdr = {host.List(), static_cast<UINT_PTR>(kProcessListId), static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iSubItem = 1;
    SortByColumn(&click.hdr);
    SortByColumn(&click.hdr);
    ASSERT_GT(host.RecordOfRow(0)->id, host.RecordOfRow(1)->id);

    for (bool hex : {false, true}) {
        SCOPED_TRACE(hex ? "hex" : "decimal");
        g_settings.hexProcessId = hex;
        DeleteFileA(file_.c_str());
        const SaveDriver run = SaveMainListTo(file_);
        EXPECT_EQ(Expected(host, hex), ReadLines(file_)); // text mode: each line ends in CR LF
        EXPECT_TRUE(run.message.empty()) << run.message;
        if (hex) { // the second dialog proposes the name chosen in the first
            EXPECT_NE(std::string::npos, run.proposed.find("kv_main_save")) << run.proposed;
        }
    }
}

// Save All Columns: the titles of the shown columns (extra ones too), then each row's cells as the
// list shows them, in row and column order; a tab or line end inside a cell stays inside its field.
TEST_F(SaveMain, AllColumnsWritesTheShownTitlesThenEveryRowAsShown)
{
    kvtest::ListHost host;
    ShowExtraColumns(host.List(), ~0u);
    RefreshProcessList(host.List());
    ProcessRecord odd = {};
    lstrcpyA(odd.name, "kv\todd\r\nname.exe");
    lstrcpyA(odd.path, "C:\\kv\tpath\\odd.exe");
    odd.id = 0x7FFFFFF0;
    host.SelectRecord(odd);
    const int oddRow = host.FindRow(odd.id);
    ASSERT_GE(oddRow, 0);

    const auto join = [](const std::vector<std::string> &cells) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) {
            std::string cell = cells[i];
            for (char &c : cell)
                if (c == '\t' || c == '\r' || c == '\n')
                    c = ' ';
            line += (i ? "\t" : "") + cell;
        }
        return line + "\r";
    };
    const std::vector<std::string> titles = kvtest::HeaderTexts(host.List());
    ASSERT_EQ(static_cast<size_t>(g_columnCount), titles.size());
    std::vector<std::string> expected = {join(titles)};
    for (int row = 0; row < host.RowCount(); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < g_columnCount; ++column)
            cells.push_back(host.CellText(row, column));
        expected.push_back(join(cells));
    }
    const SaveDriver run = Drive(file_, [] { SaveAllColumns(nullptr, 0, 0, 0); });
    EXPECT_TRUE(run.message.empty()) << run.message;
    EXPECT_EQ(expected, ReadLines(file_));
    EXPECT_NE(std::string::npos, expected[oddRow + 1].find("kv odd  name.exe")) << expected[oddRow + 1];
}

TEST_F(SaveMain, EmptyListReplacesAnEarlierFileAndAFailedSaveKeepsIt)
{
    const int leftovers = CountSaveLeftovers();
    kvtest::ListHost host; // never refreshed: no rows
    WriteText(file_, "earlier\r\n");
    SaveMainListTo(file_);
    EXPECT_TRUE(ReadLines(file_).empty());

    // Another program holds the file open without sharing: the save must say so, naming it.
    WriteText(file_, "earlier\r\n");
    HANDLE held = CreateFileA(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    SaveDriver run = SaveMainListTo(file_);
    CloseHandle(held);
    EXPECT_NE(std::string::npos, run.message.find("kv_main_save.txt")) << run.message;
    EXPECT_EQ(std::vector<std::string>{"earlier\r"}, ReadLines(file_));

    // A read-only file is refused with the system's reason, as Windows refuses to replace it.
    SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_READONLY);
    run = SaveMainListTo(file_);
    SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    char denied[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_ACCESS_DENIED, 0, denied, sizeof denied, nullptr);
    EXPECT_NE(std::string::npos, run.message.find(denied)) << run.message;
    EXPECT_EQ(std::vector<std::string>{"earlier\r"}, ReadLines(file_));

    // A view's save whose writes fail halfway, as on a full disk: the earlier file is never
    // truncated, the reason is told, and nothing is left behind.
    bool keptWhileOpen = false, closed = true;
    run = Drive(file_, [&] {
        ASSERT_TRUE(OpenSaveFile(nullptr));
        keptWhileOpen = ReadLines(file_) == std::vector<std::string>{"earlier\r"};
        std::fputs("half a line", g_saveFile);
        _close(_fileno(g_saveFile)); // every later write fails
        closed = CloseSaveFile(nullptr);
    });
    EXPECT_TRUE(keptWhileOpen);
    EXPECT_FALSE(closed);
    const size_t named = run.message.find("kv_main_save.txt:\n");
    ASSERT_NE(std::string::npos, named) << run.message;
    EXPECT_LT(named + 18, run.message.size()) << "a reason follows the name";
    EXPECT_EQ(std::vector<std::string>{"earlier\r"}, ReadLines(file_));
    EXPECT_EQ(leftovers, CountSaveLeftovers());
}

TEST_F(SaveMain, SavesIntoAFolderTooDeepForASystemTemporaryName)
{
    kvtest::ListHost host;
    RefreshProcessList(host.List());
    std::string folder = TempFile("kv_deep_");
    folder += std::string(250 - folder.size(), 'd'); // leaves room for "\a.txt" only
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string target = folder + "\\a.txt";
    const SaveDriver run = SaveMainListTo(target);
    EXPECT_TRUE(run.message.empty()) << run.message;
    EXPECT_EQ(static_cast<size_t>(host.RowCount()), ReadLines(target).size());
    DeleteFileA(target.c_str());
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "a temporary file was left behind";
}

namespace {

// The types of the streams a dump file lists in its directory (header: signature, version,
// stream count, directory offset; each entry: type, size, offset).
std::vector<DWORD> DumpStreamTypes(const std::string &bytes)
{
    std::vector<DWORD> types;
    DWORD header[4] = {};
    if (bytes.size() < sizeof header)
        return types;
    memcpy(header, bytes.data(), sizeof header);
    for (DWORD i = 0; i < header[2] && header[3] + (i + 1) * 12ull <= bytes.size(); ++i) {
        DWORD type;
        memcpy(&type, bytes.data() + header[3] + i * 12, sizeof type);
        types.push_back(type);
    }
    return types;
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DumpTest : public kvtest::ViewTest {
protected:
    DumpTest() : ViewTest(OnDumpCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_dump.exe"));
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
        window_ = GetParent(host_->List());
    }
    void TearDown() override
    {
        SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file_.c_str());
        ViewTest::TearDown();
    }
    // Write Dump File through the real save dialog; once a dump started, waits for the worker's
    // report and hands it to the window's handler.
    SaveDriver Dump()
    {
        SaveDriver run = Drive(file_, [&] { OnDumpCommand(window_, 0, 0, 0); });
        MSG report = {};
        for (DWORD waited = 0; DumpRunning() && waited < 30000; waited += 20) {
            if (PeekMessageA(&report, window_, WM_DUMPWRITTEN, WM_DUMPWRITTEN, PM_REMOVE)) {
                OnDumpWritten(window_, report.message, report.wParam, report.lParam);
                break;
            }
            Sleep(20);
        }
        EXPECT_FALSE(DumpRunning());
        return run;
    }
    HWND window_ = nullptr;
    std::string file_ = TempFile("kv_dump_target.dmp");
};

} // namespace

// The dump proposes the process's name, holds its threads, modules and memory map, and arrives
// whole under the chosen name; a read-only target is refused with the system's reason and keeps
// its bytes, and no temporary file stays behind either way.
TEST_F(DumpTest, WritesAMinidumpOfTheProcessAndRefusesAReadOnlyTarget)
{
    const int leftovers = CountSaveLeftovers();
    DeleteFileA(file_.c_str());
    SaveDriver run = Dump();
    EXPECT_EQ("kvtest_dump.dmp", run.proposed);
    EXPECT_TRUE(run.message.empty()) << run.message;
    const std::string bytes = ReadBytes(file_);
    EXPECT_EQ("MDMP", bytes.substr(0, 4));
    EXPECT_GT(bytes.size(), 4096u);
    const std::vector<DWORD> streams = DumpStreamTypes(bytes);
    // The thread and module lists (Wine's dbghelp takes the memory-map flag but writes no map).
    for (DWORD type : {3u, 4u})
        EXPECT_NE(streams.end(), std::find(streams.begin(), streams.end(), type)) << type;

    WriteText(file_, "earlier");
    SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_READONLY);
    run = Dump();
    char denied[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_ACCESS_DENIED, 0, denied, sizeof denied, nullptr);
    EXPECT_NE(std::string::npos, run.message.find(denied)) << run.message;
    EXPECT_EQ("earlier", ReadBytes(file_));

    // A path longer than the system allows is refused before any dump starts.
    const std::string tooLong = TempFile("") + std::string(300, 'd') + ".dmp";
    std::string refusal;
    kvtest::WhileShown(
        "#32770", IDOK,
        [&] { EXPECT_FALSE(StartDump(window_, child_.Id(), "kvtest_dump.exe", tooLong.c_str())); },
        [&](HWND box) {
            refusal = kvtest::WindowText(GetDlgItem(box, 0xFFFF));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
    EXPECT_EQ(0u, refusal.find("Kelvane could not save " + TempFile("ddd"))) << refusal;
    EXPECT_FALSE(DumpRunning());
    EXPECT_EQ(leftovers, CountSaveLeftovers());
}
