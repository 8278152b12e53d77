#include "core/settings.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/dpi.h"
#include "core/numlist.h"
#include "core/processtable.h"

Settings g_settings;
const char *g_settingsKeyPath = "Software\\Orvik\\kelvane";

namespace {

// Largest value text read or written; longer stored values are skipped.
const DWORD kValueSize = 520;
// More columns than any column set has, extra columns included.
const int kMaxColumns = 16;
// "SortColumn" names an extra column as this plus its number, a base column by its index.
const int kExtraSortBase = 100;
// The smallest main window worth restoring, in 96-dpi pixels; anything smaller is a caption bar.
const int kMinWindowWidth = 240;
const int kMinWindowHeight = 160;

static_assert(kMaxRefreshSeconds == UD_MAXVAL, "the dialog's up-down range bounds the intervals");

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
    {"HighlightEnded", &Settings::highlightEnded},
    {"TreeView", &Settings::treeView},
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

// A boolean value: text as ParseFlag reads it, a REG_DWORD as its number (0 off, anything else
// on), as an administrator's policy would set it. Any other type leaves `flag` alone.
void ReadFlag(HKEY key, const char *name, bool *flag)
{
    char text[kValueSize + 1];
    DWORD type = REG_NONE, size = kValueSize;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(text), &size) !=
        ERROR_SUCCESS)
        return;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, text, sizeof number);
        *flag = number != 0;
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        *flag = ParseFlag(text, size);
    }
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

// The column sort runs by, as stored: its index in the base set or kExtraSortBase plus its
// extra-column number. A column's header text names it in either table.
int StoredSortColumn()
{
    if (g_sortColumn < 0 || g_sortColumn >= g_columnCount)
        return 0;
    const WORD text = g_columns[g_sortColumn].stringId;
    int count;
    const ColumnEntry *base = BaseColumns(&count);
    for (int i = 0; i < count; ++i)
        if (base[i].stringId == text)
            return i;
    for (int i = 0; i < kExtraColumnCount; ++i)
        if ((g_extraColumns & (1u << i)) && kExtraColumnStrings[i] == text)
            return kExtraSortBase + i + 1;
    return 0;
}

// The active column a stored sort column names, or -1 when it names none that is shown.
int ActiveSortColumn(int32_t stored)
{
    int count;
    const ColumnEntry *base = BaseColumns(&count);
    const int32_t extra = stored - kExtraSortBase - 1;
    WORD text = 0;
    if (stored >= 0 && stored < count)
        text = base[stored].stringId;
    else if (extra >= 0 && extra < kExtraColumnCount && (g_extraColumns & (1u << extra)))
        text = kExtraColumnStrings[extra];
    for (int i = 0; text && i < g_columnCount; ++i)
        if (g_columns[i].stringId == text)
            return i;
    return -1;
}

// " <column> <direction>": a column that is not shown leaves the sort as it is.
void LoadSortColumn(const char *text, DWORD size)
{
    NumberList list = MakeNumberList(text, size);
    int32_t stored, direction = 1;
    if (!NextNumber(&list, &stored))
        return;
    NextNumber(&list, &direction);
    const int column = ActiveSortColumn(stored);
    if (column < 0)
        return;
    g_sortColumn = column;
    g_sortDirection = direction < 0 ? -1 : 1;
}

} // namespace

void FitWindowSize(int dpi, int workWidth, int workHeight)
{
    int &width = g_settings.windowWidth, &height = g_settings.windowHeight;
    if (width < ScaleFrom96(kMinWindowWidth, dpi) || height < ScaleFrom96(kMinWindowHeight, dpi)) {
        width = ScaleFrom96(Settings().windowWidth, dpi);
        height = ScaleFrom96(Settings().windowHeight, dpi);
    }
    if (workWidth > 0 && width > workWidth)
        width = workWidth;
    if (workHeight > 0 && height > workHeight)
        height = workHeight;
}

UINT RefreshPeriodMs(int seconds)
{
    const int bounded = seconds < 0 ? 0 : seconds > kMaxRefreshSeconds ? kMaxRefreshSeconds : seconds;
    return static_cast<UINT>(bounded) * 1000;
}

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
        ReadFlag(key, flag.name, &(g_settings.*flag.field));

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
    if (ReadText(key, "SortColumn", text, &size))
        LoadSortColumn(text, size); // by the columns now shown

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

    snprintf(text, sizeof text, " %d %d", StoredSortColumn(), g_sortDirection < 0 ? -1 : 1);
    WriteText(key, "SortColumn", text);

    RegCloseKey(key);
    return true;
}
