#include "settings/settings.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/columns.h"
#include "app/processlist.h"
#include "settings/numlist.h"

Settings g_settings;
const char *g_settingsKeyPath = "Software\\Orvik\\kelvane";

namespace {

// Largest value text read or written; longer stored values are skipped.
const DWORD kValueSize = 520;
// More columns than any column set has.
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

void WriteText(HKEY key, const char *name, const char *text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                   static_cast<DWORD>(strlen(text) + 1));
}

void LoadColumnWidths(const char *text, DWORD size)
{
    uint16_t widths[kMaxColumns];
    int count = g_columnCount < kMaxColumns ? g_columnCount : kMaxColumns;
    for (int i = 0; i < count; ++i)
        widths[i] = g_columns[i].width;
    if (!ParseColumnWidths(text, size, widths, count))
        return;
    for (int i = 0; i < count; ++i)
        g_columns[i].width = widths[i];
}

// " %d" per column of the active set: the width the list view shows, or the width the column
// set holds before the list exists.
void FormatColumnWidths(char *text, size_t capacity)
{
    size_t length = 0;
    text[0] = '\0';
    for (int i = 0; i < g_columnCount; ++i) {
        int width = g_processList
                        ? static_cast<int>(SendMessageA(g_processList, LVM_GETCOLUMNWIDTH, i, 0))
                        : g_columns[i].width;
        int written = snprintf(text + length, capacity - length, " %d", width);
        if (written < 0 || static_cast<size_t>(written) >= capacity - length)
            break;
        length += static_cast<size_t>(written);
    }
}

} // namespace

void LoadSettings()
{
    // The main list is built from the active column set, so it is chosen even without a key.
    SelectColumnSet(IsNt);

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

    if (ReadValue(key, "ColomnSize", text, &size))
        LoadColumnWidths(text, size);

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

    FormatColumnWidths(text, sizeof text);
    WriteText(key, "ColomnSize", text);

    for (const FlagValue &flag : kFlagValues)
        WriteText(key, flag.name, g_settings.*flag.field ? "1" : "0");

    snprintf(text, sizeof text, " %d %d %d %d %d", 0, g_settings.threadRefresh,
             g_settings.moduleRefresh, g_settings.memoryRefresh, g_settings.mainRefresh);
    WriteText(key, "RefreshTimes", text);

    RegCloseKey(key);
    return true;
}
