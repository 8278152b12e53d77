// Settings store: the parsing of stored texts, and saving and loading through a private key.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/numlist.h"
#include "core/processlist.h"
#include "core/processtable.h"
#include "core/settings.h"
#include "fixtures.h"

using namespace std::string_literals;
using V = std::vector<int32_t>;

namespace {

V Numbers(const char *data, size_t size)
{
    V out;
    NumberList list = MakeNumberList(data, size);
    for (int32_t n; NextNumber(&list, &n);)
        out.push_back(n);
    return out;
}

V Numbers(const char *text) { return Numbers(text, strlen(text) + 1); }

} // namespace

TEST(SettingsNumberList, OneSeparatorThenASignedNumber)
{
    EXPECT_EQ(Numbers(" 640 480"), (V{640, 480}));
    EXPECT_EQ(Numbers("640 480"), (V{40, 480})); // the 6 is taken as the separator
    EXPECT_EQ(Numbers("x-5,+7;  \t12,y7"), (V{-5, 7, 12, 0, 7}));
    EXPECT_EQ(Numbers(""), V{});
    EXPECT_EQ(Numbers(" 1\0 2", 6), V{1});
    EXPECT_EQ(Numbers(" 99999999999999999999 -99999999999999999999 5"), (V{INT32_MAX, INT32_MIN, 5}));
    // Unterminated data: the digits after the size stay unseen.
    EXPECT_EQ(Numbers(" 12345 678", 4), V{123});
    uint16_t widths[2] = {7, 7};
    EXPECT_TRUE(ParseColumnWidths(" 120 130", 3, widths, 2));
    EXPECT_EQ(widths[0], 12);
    EXPECT_EQ(widths[1], 7);
}

TEST(SettingsNumberList, RefreshTimesLayouts)
{
    // Read over the defaults; results are thread, module, memory, main.
    const std::pair<const char *, V> cases[] = {
        {" 0 4 5 6 7", {4, 5, 6, 7}}, {" 5 1 2 3", {1, 2, 3, 5}}, {" 0 1 2 3 0", {1, 2, 3, 0}},
        {" 7", {0, 0, 0, 7}},         {" 0 1", {1, 0, 0, 2}},      {"", {0, 0, 0, 2}},
        // Out of the dialog's 0 to 32767: a wrapped 8 ms timer, or one that never fires.
        {" 0 0 0 0 115964117", {0, 0, 0, 32767}}, {" 0 -1 -1 -1 -1", {0, 0, 0, 0}},
        {" -9", {0, 0, 0, 2}},
    };
    for (const auto &c : cases) {
        RefreshIntervals t = {0, 0, 0, 2};
        ParseRefreshTimes(c.first, strlen(c.first) + 1, &t);
        EXPECT_EQ((V{t.threadRefresh, t.moduleRefresh, t.memoryRefresh, t.mainRefresh}), c.second)
            << '"' << c.first << '"';
    }
}

TEST(SettingsNumberList, ColumnWidths)
{
    // Read over {100, 75, 75, 55, 50, 250} with 4 or 6 columns; a 7th slot must stay untouched.
    const struct {
        const char *text;
        int count;
        V expected;
    } cases[] = {
        {" 0 0 0 0", 4, {100, 75, 75, 55, 50, 250, 9}},
        {" 65536 -65536", 4, {100, 75, 75, 55, 50, 250, 9}}, // low 16 bits add up to 0
        {" 120", 4, {120, 75, 75, 55, 50, 250, 9}},
        {" -1 0 70000", 4, {65535, 0, 4464, 55, 50, 250, 9}},
        {" 1 2 3 4 5 6", 4, {1, 2, 3, 4, 50, 250, 9}},
        {" 1 2 3 4 5 6 7", 6, {1, 2, 3, 4, 5, 6, 9}},
        {" 10 20 30 40", 6, {10, 20, 30, 40, 50, 250, 9}},
    };
    for (const auto &c : cases) {
        uint16_t w[7] = {100, 75, 75, 55, 50, 250, 9};
        ParseColumnWidths(c.text, strlen(c.text) + 1, w, c.count);
        EXPECT_EQ(V(w, w + 7), c.expected) << '"' << c.text << '"';
    }
}

namespace {

std::array<WORD, kExtraColumnCount> SavedExtraWidths()
{
    std::array<WORD, kExtraColumnCount> widths;
    memcpy(widths.data(), g_extraColumnWidths, sizeof g_extraColumnWidths);
    return widths;
}

const char kTestKey[] = "Software\\KelvaneTest\\settings";

V Fields(const Settings &s)
{
    return {s.windowWidth,   s.windowHeight,  s.useSysTray,    s.startMinimized, s.allowMultiplyInstances,
            s.hexProcessId,  s.threadRefresh, s.moduleRefresh, s.memoryRefresh,  s.mainRefresh,
            s.statusGraphs, s.highlightNew};
}

V ActiveWidths()
{
    V out;
    for (int i = 0; i < g_columnCount; ++i)
        out.push_back(g_columns[i].width);
    return out;
}

void WriteRaw(const char *name, DWORD type, const std::string &data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// The stored bytes of a REG_SZ value, terminating zero included; "?" for anything else.
std::string ReadRaw(const char *name)
{
    char data[1024];
    DWORD size = sizeof data, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "?";
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(data, size) : "?";
}

// Each test runs against a private key, with default settings and default widths in the NT set,
// and puts back every global it touches.
class SettingsStore : public testing::Test {
protected:
    void SetUp() override
    {
        const WORD nt[] = {100, 75, 75, 250}, w9x[] = {100, 75, 75, 55, 50, 250};
        for (int i = 0; i < 6; ++i)
            g_columns9x[i].width = w9x[i];
        for (int i = 0; i < 4; ++i)
            g_columnsNt[i].width = nt[i];
        g_settingsKeyPath = kTestKey;
        g_settings = Settings();
        g_processList = nullptr;
        IsNt = true;
        SelectColumnSet(true);
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    }

    void TearDown() override
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KelvaneTest"); // fails unless empty
        memcpy(g_columnsNt, savedNt_, sizeof savedNt_);
        memcpy(g_columns9x, saved9x_, sizeof saved9x_);
        memcpy(g_extraColumnWidths, savedExtra_.data(), sizeof g_extraColumnWidths);
        SelectColumnSet(activeNt_);
        SetExtraColumns(0);
        IsNt = isNt_;
        g_processList = processList_;
        g_sortColumn = sortColumn_;
        g_sortDirection = sortDirection_;
        g_settings = settings_;
        g_settingsKeyPath = keyPath_;
    }

private:
    Settings settings_ = g_settings;
    const char *keyPath_ = g_settingsKeyPath;
    bool isNt_ = IsNt;
    bool activeNt_ = g_columns == g_columnsNt;
    HWND processList_ = g_processList;
    int sortColumn_ = g_sortColumn;
    int sortDirection_ = g_sortDirection;
    ColumnEntry savedNt_[5] = {g_columnsNt[0], g_columnsNt[1], g_columnsNt[2], g_columnsNt[3],
                               g_columnsNt[4]};
    std::array<WORD, kExtraColumnCount> savedExtra_ = SavedExtraWidths();
    ColumnEntry saved9x_[7] = {g_columns9x[0], g_columns9x[1], g_columns9x[2], g_columns9x[3],
                               g_columns9x[4], g_columns9x[5], g_columns9x[6]};
};

} // namespace

TEST_F(SettingsStore, SaveWritesTextValuesWithTheirZero)
{
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(ReadRaw("WindowSize"), " 800 500\0"s);
    EXPECT_EQ(ReadRaw("ColomnSize"), " 100 75 75 250\0"s);
    EXPECT_EQ(ReadRaw("UseSysTray"), "1\0"s);
    EXPECT_EQ(ReadRaw("StartMinimized"), "0\0"s);
    EXPECT_EQ(ReadRaw("AllowMultiplyInstances"), "0\0"s);
    EXPECT_EQ(ReadRaw("HexProcessId"), "0\0"s);
    EXPECT_EQ(ReadRaw("RefreshTimes"), " 0 0 0 0 2\0"s);
    EXPECT_EQ(ReadRaw("ExtraColumns"), "\0"s);
    EXPECT_EQ(ReadRaw("ExtraColumnSize"), "\0"s);
    EXPECT_EQ(ReadRaw("SortColumn"), " 0 1\0"s);
}

TEST_F(SettingsStore, RoundTripOnWindows9x)
{
    IsNt = false;
    LoadSettings(); // no key yet: defaults stay, but the 9x column set becomes active
    EXPECT_EQ(Fields(g_settings), Fields(Settings()));
    ASSERT_EQ(g_columns, g_columns9x);

    const Settings changed = {1024, -768, false, true, true, true, 3, 4, 5, 0, false};
    g_settings = changed;
    for (int i = 0; i < 6; ++i)
        g_columns9x[i].width = static_cast<WORD>(11 * (i + 1));
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(ReadRaw("ColomnSize"), " 11 22 33 44 55 66\0"s);

    g_settings = Settings();
    for (int i = 0; i < 6; ++i)
        g_columns9x[i].width = 1;
    LoadSettings();
    EXPECT_EQ(Fields(g_settings), Fields(changed));
    EXPECT_EQ(ActiveWidths(), (V{11, 22, 33, 44, 55, 66}));
}

TEST_F(SettingsStore, LoadReadsStoredBytesAndFlagsByTheirType)
{
    WriteRaw("WindowSize", REG_BINARY, std::string(516, ' ') + "1234"); // fills the buffer, no zero
    WriteRaw("UseSysTray", REG_SZ, "\0"s);
    WriteRaw("StartMinimized", REG_BINARY, "7"); // neither text nor a number: the default
    WriteRaw("AllowMultiplyInstances", REG_EXPAND_SZ, "yes\0"s);
    WriteRaw("HexProcessId", REG_DWORD, "0\0\0\0"s); // the number 48
    WriteRaw("HighlightNew", REG_BINARY, "0");
    WriteRaw("RefreshTimes", REG_BINARY, " 5 1 2 3");
    WriteRaw("ColomnSize", REG_SZ, " 120" + std::string(517, ' ')); // 521 bytes: skipped
    g_settings.useSysTray = false;
    LoadSettings();
    EXPECT_EQ(Fields(g_settings), Fields(Settings{1234, 500, true, false, true, true, 1, 2, 3, 5, true, true}));
    EXPECT_EQ(ActiveWidths(), (V{100, 75, 75, 250}));

    // A policy's REG_DWORD reads as its number; 0 is off.
    for (const char *flag : {"UseSysTray", "StatusGraphs", "HighlightNew"})
        WriteRaw(flag, REG_DWORD, "\0\0\0\0"s);
    WriteRaw("StartMinimized", REG_DWORD, "\0\0\1\0"s);
    LoadSettings();
    EXPECT_FALSE(g_settings.useSysTray);
    EXPECT_FALSE(g_settings.statusGraphs);
    EXPECT_FALSE(g_settings.highlightNew);
    EXPECT_TRUE(g_settings.startMinimized);
}

TEST_F(SettingsStore, WindowSizeTooSmallToUseGivesTheDefaultWithinTheWorkArea)
{
    // Stored size, screen dpi, work area: the size the window opens at.
    const struct { std::string text; DWORD type; int dpi; V work, opens; } cases[] = {
        {"abc def", REG_SZ, 96, {1280, 1000}, {800, 500}}, {" 3 3", REG_SZ, 144, {1280, 1000}, {1200, 750}},
        {" 900 3", REG_SZ, 96, {1280, 1000}, {800, 500}},  {" -5000 -5000", REG_SZ, 144, {1000, 700}, {1000, 700}},
        {"\x20\x03\0\0"s, REG_DWORD, 96, {1280, 1000}, {800, 500}},
        {" 300 200", REG_SZ, 96, {1280, 1000}, {300, 200}}, {" 99999 900", REG_SZ, 96, {1280, 1000}, {1280, 900}}};
    for (const auto &c : cases) {
        WriteRaw("WindowSize", c.type, c.text);
        LoadSettings();
        FitWindowSize(c.dpi, c.work[0], c.work[1]);
        EXPECT_EQ((V{g_settings.windowWidth, g_settings.windowHeight}), c.opens) << c.text;
    }
}

TEST_F(SettingsStore, SortColumnNamesBaseOrExtraColumnWhereverItShows)
{
    // Shown: Name, ID, Priority, CPU (1), Working Set (3), Threads (5), Full Path.
    WriteRaw("ExtraColumns", REG_SZ, " 5 1 3");
    const std::pair<const char *, V> loads[] = {
        {" 105 -1", {5, -1}}, {" 3 1", {6, 1}}, {" 1 7", {1, 1}}, {" 101", {3, 1}},
        {" 102 -1", {0, 1}},  {" 4 -1", {0, 1}}, {" 111 -1", {0, 1}}, {" -1 -1", {0, 1}}, // not shown
    };
    for (const auto &[text, expected] : loads) {
        WriteRaw("SortColumn", REG_SZ, text);
        g_sortColumn = 0;
        g_sortDirection = 1;
        LoadSettings();
        EXPECT_EQ((V{g_sortColumn, g_sortDirection}), expected) << text;
    }
    const std::pair<V, std::string> saves[] = {
        {{4, -1}, " 103 -1\0"s}, {{6, 1}, " 3 1\0"s}, {{2, -1}, " 2 -1\0"s}};
    for (const auto &[sort, stored] : saves) {
        g_sortColumn = sort[0];
        g_sortDirection = sort[1];
        ASSERT_TRUE(SaveSettings());
        EXPECT_EQ(ReadRaw("SortColumn"), stored);
    }
    // The same index means Threads on Windows 9x.
    IsNt = false;
    WriteRaw("SortColumn", REG_SZ, " 3 -1");
    LoadSettings();
    EXPECT_EQ((V{g_sortColumn, g_sortDirection}), (V{3, -1}));
}

TEST_F(SettingsStore, SaveTakesWidthsFromTheListView)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", LVS_REPORT, 0, 0, 400, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    const int widths[] = {120, 60, 70, 300};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = widths[i];
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    g_processList = list;
    CaptureMainListWidths();
    SaveSettings();
    DestroyWindow(list);
    EXPECT_EQ(ReadRaw("ColomnSize"), " 120 60 70 300\0"s);
}

TEST_F(SettingsStore, ExtraColumnsGoBeforeFullPathAndKeepTheirOwnWidths)
{
    WriteRaw("ExtraColumns", REG_SZ, " 5 1 3\0"s);
    WriteRaw("ExtraColumnSize", REG_SZ, " 40 90 60\0"s); // for 1, 3 and 5 in the columns' order
    LoadSettings();
    auto host = std::make_unique<kvtest::ListHost>(); // the list built from the active set
    const HWND list = host->List();
    EXPECT_EQ(kvtest::HeaderTexts(list), (std::vector<std::string>{"Name", "ID", "Priority", "CPU",
                                                        "Working Set", "Threads", "Full Path"}));
    EXPECT_EQ(ActiveWidths(), (V{100, 75, 75, 40, 90, 60, 250}));

    // The user widens CPU and Full Path: each value keeps its own columns' widths.
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 3, 55);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 6, 280);
    CaptureMainListWidths();
    ASSERT_TRUE(SaveSettings());
    host.reset();
    EXPECT_EQ(ReadRaw("ColomnSize"), " 100 75 75 280\0"s);
    EXPECT_EQ(ReadRaw("ExtraColumns"), " 1 3 5\0"s);
    EXPECT_EQ(ReadRaw("ExtraColumnSize"), " 55 90 60\0"s);

    // A number out of range or given twice, or Windows 9x: no extra column.
    for (const char *bad : {" 1 15", " 3 3", " 0"}) {
        WriteRaw("ExtraColumns", REG_SZ, bad);
        LoadSettings();
        EXPECT_EQ(4, g_columnCount) << bad;
    }
    // Typed by hand: without the leading blank, or ending in white space.
    for (const char *typed : {"1 3 5", " 1 3 5 ", " 1 3 5\t", "1 3 5\r\n"}) {
        WriteRaw("ExtraColumns", REG_SZ, typed);
        LoadSettings();
        EXPECT_EQ(7, g_columnCount) << typed;
    }
    // Only a text value is read as a list; the width lists of a column outside sane bounds
    // give it its default width.
    WriteRaw("ExtraColumns", REG_BINARY, " 1 2 3\0"s);
    LoadSettings();
    EXPECT_EQ(4, g_columnCount);
    WriteRaw("ExtraColumns", REG_SZ, " 1 2 3");
    for (const char *widths : {" 0 1 0 0", " 65537 -1 9000 3"}) {
        WriteRaw("ExtraColumnSize", REG_SZ, widths);
        WriteRaw("ColomnSize", REG_SZ, widths);
        LoadSettings();
        EXPECT_EQ(ActiveWidths(), (V{100, 75, 75, 45, 65, 80, 250})) << widths;
    }
    // A column dragged to nothing takes its default width when shown again.
    host = std::make_unique<kvtest::ListHost>();
    SendMessageA(host->List(), LVM_SETCOLUMNWIDTH, 3, 0);
    ShowExtraColumns(host->List(), 1);
    ShowExtraColumns(host->List(), 7);
    EXPECT_EQ(45, SendMessageA(host->List(), LVM_GETCOLUMNWIDTH, 3, 0));
    host.reset();

    WriteRaw("ExtraColumns", REG_SZ, " 1");
    IsNt = false;
    LoadSettings();
    EXPECT_EQ(g_columns, g_columns9x);
}
