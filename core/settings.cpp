#include "core/settings.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/numlist.h"

Settings g_settings;
const char *g_settingsKeyPath = "Software\\Orvik\\kelvane";

namespace {

// Largest value text read or written; longer stored values are skipped.
const DWORD kValueSize = 520;
// More columns than any column set has, extra columns included.
const int kMaxColumns = 16;

struct FlagValue {
    const char *name;
    bool Settings::*field;
};

const FlagValue kFlagValues[] = {
    {"UseSysTray", &Settings::useSysTray},
    {"StartMinimized", &Settings::startMinimized},
    {"AllowMultiplyInstances", &Settings::allowMultiplyInstances},
    {"HexProcessId", &Settings::hexProcessId},
    {"StatusGraphs", &Settings::statusGraphs},
    {"HighlightNew", &Settings::highlightNew},
};

// Reads a value's bytes, whatever its stored type, into `text` (kValueSize + 1 bytes) and
// terminates them there: stored data need not end with a zero, and may fill all kValueSize
// bytes. Returns the byte count read, or false for a missing or over-long value.
bool ReadValue(HKEY key, const char *name, char *text, DWORD *size)
{
    *size = kValueSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(text), size) !=
        ERROR_SUCCESS)
        return false;
    if (*size > kValueSize)
        *size = kValueSize;
    text[*size] = '\0';
    return true;
}

// ReadValue for a value that must be text: false for any other registry type.
bool ReadText(HKEY key, const char *name, char *text, DWORD *size)
{
    DWORD type = REG_NONE;
    *size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    return ReadValue(key, name, text, size);
}

void WriteText(HKEY key, const char *name, const char *text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                   static_cast<DWORD>(strlen(text) + 1));
}

// Reads stored widths over `count` columns whose widths the `width` callback gives access to.
void LoadWidths(const char *text, DWORD size, int count, WORD *(*width)(int index))
{
    uint16_t widths[kMaxColumns];
    if (count > kMaxColumns)
        count = kMaxColumns;
    for (int i = 0; i < count; ++i)
        widths[i] = *width(i);
    if (!ParseColumnWidths(text, size, widths, count))
        return;
    for (int i = 0; i < count; ++i)
        *width(i) = widths[i];
}

WORD *BaseWidth(int index)
{
    int count;
    return &BaseColumns(&count)[index].width;
}

// Which extra column (0 for the first of the table) is the n-th shown one; callers stay below the
// shown count.
int ShownExtra(int n)
{
    int i = 0;
    for (; i < kExtraColumnCount; ++i)
        if ((g_extraColumns & (1u << i)) && n-- == 0)
            break;
    return i < kExtraColumnCount ? i : 0;
}

WORD *ShownExtraWidth(int n)
{
    return &g_extraColumnWidths[ShownExtra(n)];
}

int ShownExtraCount()
{
    int count = 0;
    for (int i = 0; i < kExtraColumnCount; ++i)
        count += (g_extraColumns >> i) & 1;
    return count;
}

// " %d" per number, as long as the text has room.
void FormatNumbers(char *text, size_t capacity, int count, int (*number)(int index))
{
    size_t length = 0;
    text[0] = '\0';
    for (int i = 0; i < count; ++i) {
        const int written = snprintf(text + length, capacity - length, " %d", number(i));
        if (written < 0 || static_cast<size_t>(written) >= capacity - length)
            break;
        length += static_cast<size_t>(written);
    }
}

int BaseWidthNumber(int index)
{
    return *BaseWidth(index);
}

int ShownExtraWidthNumber(int n)
{
    return *ShownExtraWidth(n);
}

int ShownExtraNumber(int n)
{
    return ShownExtra(n) + 1;
}

} // namespace

void LoadSettings()
{
    // The main list is built from the active column set, so it is chosen even without a key.
    SelectColumnSet(IsNt);
    SetExtraColumns(0);
    FitDefaultWidths();

    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, g_settingsKeyPath, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;

    char text[kValueSize + 1];
    DWORD size;

    if (ReadValue(key, "WindowSize", text, &size))
        ParseWindowSize(text, size, &g_settings.windowWidth, &g_settings.windowHeight);

    for (const FlagValue &flag : kFlagValues)
        if (ReadValue(key, flag.name, text, &size))
            g_settings.*flag.field = ParseFlag(text, size);

    if (ReadValue(key, "RefreshTimes", text, &size)) {
        RefreshIntervals times = {g_settings.threadRefresh, g_settings.moduleRefresh,
                                  g_settings.memoryRefresh, g_settings.mainRefresh};
        ParseRefreshTimes(text, size, &times);
        g_settings.threadRefresh = times.threadRefresh;
        g_settings.moduleRefresh = times.moduleRefresh;
        g_settings.memoryRefresh = times.memoryRefresh;
        g_settings.mainRefresh = times.mainRefresh;
    }

    int baseCount;
    BaseColumns(&baseCount);
    if (ReadValue(key, "ColomnSize", text, &size))
        LoadWidths(text, size, baseCount, BaseWidth);

    unsigned extras = 0;
    if (ReadText(key, "ExtraColumns", text, &size))
        ParseExtraColumns(text, size, kExtraColumnCount, &extras);
    SetExtraColumns(extras);
    if (ReadText(key, "ExtraColumnSize", text, &size))
        LoadWidths(text, size, ShownExtraCount(), ShownExtraWidth);
    BoundStoredWidths();
    SetExtraColumns(g_extraColumns); // the active set takes the widths just read

    RegCloseKey(key);
}

bool SaveSettings()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, g_settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;

    char text[kValueSize];

    snprintf(text, sizeof text, " %d %d", g_settings.windowWidth, g_settings.windowHeight);
    WriteText(key, "WindowSize", text);

    int baseCount;
    BaseColumns(&baseCount);
    FormatNumbers(text, sizeof text, baseCount, BaseWidthNumber);
    WriteText(key, "ColomnSize", text);
    FormatNumbers(text, sizeof text, ShownExtraCount(), ShownExtraNumber);
    WriteText(key, "ExtraColumns", text);
    FormatNumbers(text, sizeof text, ShownExtraCount(), ShownExtraWidthNumber);
    WriteText(key, "ExtraColumnSize", text);

    for (const FlagValue &flag : kFlagValues)
        WriteText(key, flag.name, g_settings.*flag.field ? "1" : "0");

    snprintf(text, sizeof text, " %d %d %d %d %d", 0, g_settings.threadRefresh,
             g_settings.moduleRefresh, g_settings.memoryRefresh, g_settings.mainRefresh);
    WriteText(key, "RefreshTimes", text);

    RegCloseKey(key);
    return true;
}
