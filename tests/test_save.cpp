// Saving the main list through the real save dialog, then reading the file back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/processlist.h"
#include "app/save.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "settings/settings.h"

namespace {

// Answers every dialog a save shows, whatever order they come in: the save dialog gets the
// path, an overwrite question gets Yes, and the program's own message box is read and closed.
struct SaveDriver {
    std::string path;
    std::string proposed; // the name the save dialog offered
    std::string message;  // text of the program's message box, if one showed
    UINT_PTR timer = 0;
};
SaveDriver *g_driver;

BOOL CALLBACK AnswerDialog(HWND window, LPARAM)
{
    char name[16];
    if (!GetClassNameA(window, name, sizeof name) || lstrcmpA(name, "#32770") ||
        !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    HWND fileName = GetDlgItem(window, 0x47c); // cmb13, else edt1
    if (!fileName)
        fileName = GetDlgItem(window, 0x480);
    if (fileName) {
        g_driver->proposed = kvtest::WindowText(fileName);
        SetWindowTextA(fileName, g_driver->path.c_str());
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    } else if (GetDlgItem(window, IDYES)) {
        PostMessageA(window, WM_COMMAND, IDYES, 0);
    } else if (kvtest::WindowText(window) == g_className) {
        char text[1024] = "";
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetWindowTextA(child, text, sizeof text) && strlen(text) > g_driver->message.size() &&
                GetDlgCtrlID(child) != IDOK)
                g_driver->message = text;
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return FALSE;
}

void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_driver)
        EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0);
}

SaveDriver SaveMainListTo(const std::string &path)
{
    SaveDriver driver;
    driver.path = path;
    g_driver = &driver;
    kvtest::ModalTimeLimit limit;
    driver.timer = SetTimer(nullptr, 0, 50, DriverTick);
    SaveMainList(nullptr, 0, 0, 0);
    KillTimer(nullptr, driver.timer);
    g_driver = nullptr;
    return driver;
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

class SaveMain : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kvtest::PrepareViews()); }
    void TearDown() override
    {
        g_settings = saved_;
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

TEST_F(SaveMain, EmptyListGivesEmptyFileAndUnwritableFileIsReported)
{
    kvtest::ListHost host; // never refreshed: no rows
    SaveMainListTo(file_);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0u, data.nFileSizeLow);

    // Another program holds the file open without sharing: the save must say so, naming it.
    HANDLE held = CreateFileA(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const SaveDriver run = SaveMainListTo(file_);
    CloseHandle(held);
    EXPECT_NE(std::string::npos, run.message.find("kv_main_save.txt")) << run.message;
}
