#include "core/columns.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "core/dpi.h"
#include "core/sysapi.h"
#include "resource.h"

ColumnEntry g_columnsNt[] = {{IDS_COL_NAME, 100}, {IDS_COL_ID, 75}, {IDS_COL_PRIORITY, 75},
                             {IDS_COL_PATH, 250}, {0, 0}};
ColumnEntry g_columns9x[] = {{IDS_COL_NAME, 100}, {IDS_COL_ID, 75},   {IDS_COL_PRIORITY, 75},
                             {IDS_COL_THREADS, 55}, {IDS_COL_TYPE, 50}, {IDS_COL_PATH, 250},
                             {0, 0}};

const WORD kExtraColumnStrings[kExtraColumnCount] = {
    IDS_COL_CPU,          IDS_COL_CPUTIME,  IDS_COL_WORKINGSET,  IDS_COL_PRIVATEBYTES,
    IDS_COL_THREADS,      IDS_COL_HANDLES,  IDS_COL_STARTED,     IDS_COL_COMMANDLINE,
    IDS_COL_USERNAME,     IDS_COL_PLATFORM, IDS_COL_PARENTID,    IDS_COL_DESCRIPTION,
    IDS_COL_COMPANY,      IDS_COL_SERVICES};
WORD g_extraColumnWidths[kExtraColumnCount] = {45, 65, 80, 85, 55, 55, 110, 250, 130, 60,
                                               70, 200, 150, 150};
unsigned g_extraColumns = 0;

namespace {

const ColumnKind kKindsNt[] = {ColumnName, ColumnId, ColumnPriority, ColumnPath};
const ColumnKind kKinds9x[] = {ColumnName,    ColumnId,   ColumnPriority,
                               ColumnThreads, ColumnType, ColumnPath};
const ColumnKind kExtraKinds[kExtraColumnCount] = {
    ColumnCpu,         ColumnCpuTime,  ColumnWorkingSet, ColumnPrivateBytes, ColumnThreads,
    ColumnHandles,     ColumnStarted,  ColumnCommandLine, ColumnUserName,    ColumnPlatform,
    ColumnParentId,    ColumnDescription, ColumnCompany,  ColumnServices};

// Default widths by kind, in the order of ColumnKind.
const WORD kDefaultWidths[] = {100, 75, 75, 55, 50, 250, 45, 65, 80, 85, 55, 110, 250, 130, 60,
                               70,  200, 150, 150};
static_assert(sizeof kDefaultWidths / sizeof kDefaultWidths[0] == ColumnServices + 1,
              "a default width for every kind");
// Narrower columns cannot be found to widen again; wider ones come only from bad settings.
const int kMinColumnWidth = 8;
const int kMaxColumnWidth = 4000;

const int kBaseNtCount = 4;
const int kMaxColumns = kBaseNtCount + kExtraColumnCount;

bool g_ntFamily = true;

// The active set while extra columns show, and for each of its columns the width it takes back
// when the user has changed it: the base column's or the extra column's own.
ColumnEntry g_builtColumns[kMaxColumns + 1];
ColumnKind g_builtKinds[kMaxColumns];
WORD *g_widthHomes[kMaxColumns];

void Append(int *count, const ColumnEntry &entry, ColumnKind kind, WORD *home)
{
    g_builtColumns[*count] = entry;
    g_builtKinds[*count] = kind;
    g_widthHomes[*count] = home;
    ++*count;
}

// Name, ID and Priority, the extra columns of the mask, then Full Path.
void BuildExtendedSet()
{
    int count = 0;
    for (int i = 0; i < kBaseNtCount - 1; ++i)
        Append(&count, g_columnsNt[i], kKindsNt[i], &g_columnsNt[i].width);
    for (int i = 0; i < kExtraColumnCount; ++i)
        if (g_extraColumns & (1u << i))
            Append(&count, {kExtraColumnStrings[i], g_extraColumnWidths[i]}, kExtraKinds[i],
                   &g_extraColumnWidths[i]);
    Append(&count, g_columnsNt[kBaseNtCount - 1], ColumnPath, &g_columnsNt[kBaseNtCount - 1].width);
    g_builtColumns[count] = {0, 0};
    g_columns = g_builtColumns;
    g_columnKinds = g_builtKinds;
    g_columnCount = count;
}

} // namespace

ColumnEntry *g_columns = g_columnsNt;
const ColumnKind *g_columnKinds = kKindsNt;
int g_columnCount = 4;

void SelectColumnSet(bool nt)
{
    g_ntFamily = nt;
    SetExtraColumns(g_extraColumns);
}

void SetExtraColumns(unsigned mask)
{
    g_extraColumns = g_ntFamily ? mask & ((1u << kExtraColumnCount) - 1) : 0;
    if (g_extraColumns) {
        BuildExtendedSet();
        return;
    }
    // Without extra columns the base set itself is active, exactly as it always was.
    g_columns = g_ntFamily ? g_columnsNt : g_columns9x;
    g_columnKinds = g_ntFamily ? kKindsNt : kKinds9x;
    g_columnCount = 0;
    while (g_columns[g_columnCount].stringId)
        ++g_columnCount;
}

ColumnEntry *BaseColumns(int *count)
{
    ColumnEntry *base = g_ntFamily ? g_columnsNt : g_columns9x;
    *count = 0;
    while (base[*count].stringId)
        ++*count;
    return base;
}

WORD BoundedColumnWidth(int width, ColumnKind kind)
{
    if (width >= kMinColumnWidth && width <= kMaxColumnWidth)
        return static_cast<WORD>(width);
    return kDefaultWidths[kind];
}

void BoundStoredWidths()
{
    for (int i = 0; g_columnsNt[i].stringId; ++i)
        g_columnsNt[i].width = BoundedColumnWidth(g_columnsNt[i].width, kKindsNt[i]);
    for (int i = 0; g_columns9x[i].stringId; ++i)
        g_columns9x[i].width = BoundedColumnWidth(g_columns9x[i].width, kKinds9x[i]);
    for (int i = 0; i < kExtraColumnCount; ++i)
        g_extraColumnWidths[i] = BoundedColumnWidth(g_extraColumnWidths[i], kExtraKinds[i]);
}

void CaptureColumnWidths(HWND list)
{
    for (int i = 0; list && i < g_columnCount; ++i) {
        const LRESULT shown = SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0);
        const int width96 = shown < 0 || shown > 0xFFFF
                                ? -1
                                : ScaleTo96(static_cast<int>(shown), g_screenDpi); // kept in 96-dpi pixels
        const WORD width = BoundedColumnWidth(width96, g_columnKinds[i]);
        g_columns[i].width = width;
        if (g_columns == g_builtColumns)
            *g_widthHomes[i] = width;
    }
}

namespace {

// Room a header needs beside its text, in 96-dpi pixels: the margins on both sides of the text
// and the sort arrow with its own margin.
const int kHeaderRoom = 40;

// Raises `width` to what the header text needs in the font selected into `dc`.
void FitHeader(HDC dc, WORD stringId, WORD *width)
{
    const char *text = ResText(stringId);
    SIZE extent;
    if (!text || !GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent))
        return;
    const int needed = extent.cx + kHeaderRoom;
    if (needed > *width && needed <= 0xFFFF)
        *width = static_cast<WORD>(needed);
}

} // namespace

void FitDefaultWidths()
{
    LOGFONTA logFont;
    if (!SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0))
        return;
    // Measured in the font's 96-dpi size, so that the widths come out the same on every screen
    // and a stored width means the same everywhere.
    logFont.lfHeight = ScaleTo96(logFont.lfHeight, ScreenDpi(nullptr));
    HFONT font = CreateFontIndirectA(&logFont);
    HDC dc = GetDC(nullptr);
    if (!font || !dc) {
        if (font)
            DeleteObject(font);
        if (dc)
            ReleaseDC(nullptr, dc);
        return;
    }
    HGDIOBJ old = SelectObject(dc, font);
    ColumnEntry *const sets[] = {g_columnsNt, g_columns9x};
    for (ColumnEntry *set : sets)
        for (ColumnEntry *entry = set; entry->stringId; ++entry)
            FitHeader(dc, entry->stringId, &entry->width);
    for (int i = 0; i < kExtraColumnCount; ++i)
        FitHeader(dc, kExtraColumnStrings[i], &g_extraColumnWidths[i]);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
}

int FindColumn(ColumnKind kind)
{
    for (int i = 0; i < g_columnCount; ++i)
        if (g_columnKinds[i] == kind)
            return i;
    return -1;
}
