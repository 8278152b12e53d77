// Settings store: the parsing of stored texts, and saving and loading through a private key.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/columns.h"
#include "app/processlist.h"
#include "settings/numlist.h"
#include "settings/settings.h"

namespace {

std::vector<int32_t> Numbers(const char *data, size_t size)
{
    std::vector<int32_t> out;
    NumberList list = MakeNumberList(data, size);
    int32_t n;
    while (NextNumber(&list, &n))
        out.push_back(n);
    return out;
}

std::vector<int32_t> Numbers(const char *text) { return Numbers(text, strlen(text) + 1); }

using V = std::vector<int32_t>;

} // namespace

TEST(SettingsNumberList, OneSeparatorThenASignedNumber)
{
    EXPECT_EQ(Numbers(" 640 480"), (V{640, 480}));
    EXPECT_EQ(Numbers("640 480"), (V{40, 480})); // the 6 is taken as the separator
    EXPECT_EQ(Numbers("x-5,+7;  \t12"), (V{-5, 7, 12}));
    EXPECT_EQ(Numbers(" -5 x 7"), (V{-5, 0, 7}));
    EXPECT_EQ(Numbers(""), V{});
    EXPECT_EQ(Numbers(" 1\0 2", 6), V{1});
    EXPECT_EQ(Numbers(" 2147483647 -2147483648"), (V{INT32_MAX, INT32_MIN}));
    EXPECT_EQ(Numbers(" 99999999999999999999 -99999999999999999999 5"), (V{INT32_MAX, INT32_MIN, 5}));
}

TEST(SettingsNumberList, NeverReadsPastTheSizeGiven)
{
    // The digits after the size must stay unseen, as if the data ended there without a zero.
    EXPECT_EQ(Numbers(" 12345 678", 4), V{123});
    EXPECT_EQ(Numbers(" 12345", 1), V{0});
    int width = 1, height = 2;
    ParseWindowSize(" 640 480", 6, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 4);
    EXPECT_TRUE(ParseFlag("0", 0));
    uint16_t widths[2] = {7, 7};
    EXPECT_TRUE(ParseColumnWidths(" 120 130", 3, widths, 2));
    EXPECT_EQ(widths[0], 12);
    EXPECT_EQ(widths[1], 7);
}

TEST(SettingsNumberList, FlagsAreFalseOnlyForALeadingZero)
{
    for (const char *text : {"0", "01", "0x"})
        EXPECT_FALSE(ParseFlag(text, strlen(text) + 1)) << text;
    for (const char *text : {"1", "", " 0", "yes"})
        EXPECT_TRUE(ParseFlag(text, strlen(text) + 1)) << text;
}

TEST(SettingsNumberList, RefreshTimesLayouts)
{
    struct Case {
        const char *text;
        RefreshIntervals expected; // thread, module, memory, main; read over {0, 0, 0, 2}
    } cases[] = {
        {" 0 4 5 6 7", {4, 5, 6, 7}}, {" 5 1 2 3", {1, 2, 3, 5}}, {" 0 1 2 3 0", {1, 2, 3, 0}},
        {" 7", {0, 0, 0, 7}},         {" 0 1", {1, 0, 0, 2}},      {"", {0, 0, 0, 2}},
        {" 1 2 3 4 5 6", {2, 3, 4, 5}},
    };
    for (const Case &c : cases) {
        RefreshIntervals t = {0, 0, 0, 2};
        ParseRefreshTimes(c.text, strlen(c.text) + 1, &t);
        EXPECT_EQ((V{t.threadRefresh, t.moduleRefresh, t.memoryRefresh, t.mainRefresh}),
                  (V{c.expected.threadRefresh, c.expected.moduleRefresh, c.expected.memoryRefresh,
                     c.expected.mainRefresh}))
            << '"' << c.text << '"';
    }
}

TEST(SettingsNumberList, ColumnWidths)
{
    struct Case {
        const char *text;
        int count;
        bool taken;
        uint16_t expected[7]; // read over {100, 75, 75, 55, 50, 250, 9}
    } cases[] = {
        {" 0 0 0 0", 4, false, {100, 75, 75, 55, 50, 250, 9}},
        {" 65536 -65536", 4, false, {100, 75, 75, 55, 50, 250, 9}}, // low 16 bits are all 0
        {" 120", 4, true, {120, 75, 75, 55, 50, 250, 9}},
        {" -1 0 70000", 4, true, {65535, 0, 4464, 55, 50, 250, 9}},
        {" 1 2 3 4 5 6", 4, true, {1, 2, 3, 4, 50, 250, 9}},
        {" 1 2 3 4 5 6 7", 6, true, {1, 2, 3, 4, 5, 6, 9}},
        {" 10 20 30 40", 6, true, {10, 20, 30, 40, 50, 250, 9}},
    };
    for (const Case &c : cases) {
        uint16_t w[7] = {100, 75, 75, 55, 50, 250, 9};
        EXPECT_EQ(ParseColumnWidths(c.text, strlen(c.text) + 1, w, c.count), c.taken) << c.text;
        EXPECT_EQ(std::vector<uint16_t>(w, w + 7), std::vector<uint16_t>(c.expected, c.expected + 7))
            << '"' << c.text << '"';
    }
}

namespace {

const char kTestKey[] = "Software\\KelvaneTest\\settings";

void ExpectSameSettings(const Settings &a, const Settings &b)
{
    EXPECT_EQ(V({a.windowWidth, a.windowHeight, a.useSysTray, a.startMinimized,
                 a.allowMultiplyInstances, a.hexProcessId, a.threadRefresh, a.moduleRefresh,
                 a.memoryRefresh, a.mainRefresh}),
              V({b.windowWidth, b.windowHeight, b.useSysTray, b.startMinimized,
                 b.allowMultiplyInstances, b.hexProcessId, b.threadRefresh, b.moduleRefresh,
                 b.memoryRefresh, b.mainRefresh}));
}

std::vector<WORD> ActiveWidths()
{
    std::vector<WORD> out;
    for (int i = 0; i < g_columnCount; ++i)
        out.push_back(g_columns[i].width);
    return out;
}

// Runs each test against a private key with default settings and default widths in the NT column
// set, and puts back every global it touches.
class SettingsStore : public testing::Test {
protected:
    void SetUp() override
    {
        memcpy(savedNt_, g_columnsNt, sizeof savedNt_);
        memcpy(saved9x_, g_columns9x, sizeof saved9x_);
        const WORD nt[] = {100, 75, 75, 250}, w9x[] = {100, 75, 75, 55, 50, 250};
        for (int i = 0; i < 4; ++i)
            g_columnsNt[i].width = nt[i];
        for (int i = 0; i < 6; ++i)
            g_columns9x[i].width = w9x[i];
        g_settingsKeyPath = kTestKey;
        g_settings = Settings();
        g_processList = nullptr;
        IsNt = true;
        SelectColumnSet(true);
        DeleteKey();
    }

    void TearDown() override
    {
        DeleteKey();
        memcpy(g_columnsNt, savedNt_, sizeof savedNt_);
        memcpy(g_columns9x, saved9x_, sizeof saved9x_);
        SelectColumnSet(activeNt_);
        IsNt = isNt_;
        g_processList = processList_;
        g_settings = settings_;
        g_settingsKeyPath = keyPath_;
    }

    static void DeleteKey()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KelvaneTest"); // only if nothing else is in it
    }

    static void WriteRaw(const char *name, DWORD type, const std::string &data)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                       static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }

    // The stored bytes of a value, terminating zero included; "?" when the type is not REG_SZ.
    static std::string ReadRaw(const char *name)
    {
        char data[1024];
        DWORD size = sizeof data, type = 0;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "no key";
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            return "?";
        return std::string(data, size);
    }

private:
    Settings settings_ = g_settings;
    const char *keyPath_ = g_settingsKeyPath;
    bool isNt_ = IsNt;
    bool activeNt_ = g_columns == g_columnsNt;
    HWND processList_ = g_processList;
    ColumnEntry savedNt_[5];
    ColumnEntry saved9x_[7];
};

} // namespace

TEST_F(SettingsStore, MissingKeyKeepsDefaultsButSelectsTheColumnSet)
{
    IsNt = false;
    LoadSettings();
    ExpectSameSettings(g_settings, Settings());
    EXPECT_EQ(g_columns, g_columns9x);
    EXPECT_EQ(ActiveWidths(), (std::vector<WORD>{100, 75, 75, 55, 50, 250}));
}

TEST_F(SettingsStore, SaveWritesTextValuesWithTheirZero)
{
    ASSERT_TRUE(SaveSettings());
    using namespace std::string_literals;
    EXPECT_EQ(ReadRaw("WindowSize"), " 500 300\0"s);
    EXPECT_EQ(ReadRaw("ColomnSize"), " 100 75 75 250\0"s);
    EXPECT_EQ(ReadRaw("UseSysTray"), "1\0"s);
    EXPECT_EQ(ReadRaw("StartMinimized"), "0\0"s);
    EXPECT_EQ(ReadRaw("AllowMultiplyInstances"), "0\0"s);
    EXPECT_EQ(ReadRaw("HexProcessId"), "0\0"s);
    EXPECT_EQ(ReadRaw("RefreshTimes"), " 0 0 0 0 2\0"s);
}

TEST_F(SettingsStore, RoundTripOnWindows9x)
{
    IsNt = false;
    SelectColumnSet(false);
    const Settings changed = {1024, -768, false, true, true, true, 3, 4, 5, 0};
    g_settings = changed;
    const WORD widths[] = {11, 22, 33, 44, 55, 66};
    for (int i = 0; i < 6; ++i)
        g_columns9x[i].width = widths[i];
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(ReadRaw("ColomnSize"), std::string(" 11 22 33 44 55 66", 19));

    g_settings = Settings();
    for (int i = 0; i < 6; ++i)
        g_columns9x[i].width = 1;
    LoadSettings();
    ExpectSameSettings(g_settings, changed);
    EXPECT_EQ(ActiveWidths(), std::vector<WORD>(widths, widths + 6));
}

TEST_F(SettingsStore, LoadReadsTheTextWhateverTheStoredType)
{
    using namespace std::string_literals;
    WriteRaw("WindowSize", REG_SZ, "640 480\0"s);
    WriteRaw("UseSysTray", REG_SZ, "\0"s);
    WriteRaw("StartMinimized", REG_BINARY, "7");               // no terminating zero
    WriteRaw("AllowMultiplyInstances", REG_EXPAND_SZ, "yes\0"s);
    WriteRaw("HexProcessId", REG_DWORD, "0\0\0\0"s);           // its first byte is the digit 0
    WriteRaw("RefreshTimes", REG_BINARY, " 5 1 2 3");
    WriteRaw("ColomnSize", REG_SZ, " 0 0 0 0\0"s);
    g_settings.useSysTray = false;
    g_settings.hexProcessId = true;
    LoadSettings();
    ExpectSameSettings(g_settings, Settings{40, 480, true, true, true, false, 1, 2, 3, 5});
    EXPECT_EQ(ActiveWidths(), (std::vector<WORD>{100, 75, 75, 250}));
}

TEST_F(SettingsStore, ValueFillingTheBufferIsReadAndLongerOnesAreSkipped)
{
    WriteRaw("WindowSize", REG_BINARY, std::string(516, ' ') + "1234"); // 520 bytes, no zero
    WriteRaw("ColomnSize", REG_SZ, " 120" + std::string(517, ' '));      // 521 bytes
    WriteRaw("RefreshTimes", REG_SZ, " 0 1 1 1 9" + std::string(600, ' '));
    LoadSettings();
    EXPECT_EQ(g_settings.windowWidth, 1234);
    EXPECT_EQ(g_settings.windowHeight, 300);
    EXPECT_EQ(g_settings.mainRefresh, 2);
    EXPECT_EQ(g_settings.threadRefresh, 0);
    EXPECT_EQ(ActiveWidths(), (std::vector<WORD>{100, 75, 75, 250}));
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
    SaveSettings();
    DestroyWindow(list);
    EXPECT_EQ(ReadRaw("ColomnSize"), std::string(" 120 60 70 300", 15));
}
