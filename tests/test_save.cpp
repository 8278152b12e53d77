// Saving the main list through the real save dialog, then reading the file back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <functional>
#include <io.h>
#include <string>
#include <vector>

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
