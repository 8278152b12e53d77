#include "core/figurecells.h"

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/localtime.h"
#include "core/processrecord.h"
#include "core/settings.h"

namespace {

const ULONGLONG kTicksPerSecond = 10000000; // 100 ns units

// The column's value as a number to sort by; -1 when it is not known.
long long FigureValue(ColumnKind kind, const ProcessRecord &record)
{
    const ProcessFigures &f = record.figures;
    if (kind == ColumnStarted)
        return record.createTime ? static_cast<long long>(record.createTime) : -1;
    if (kind == ColumnParentId) // as the system reports it, also for a parent that has ended
        return record.parentId;
    if (!f.known)
        return -1;
    switch (kind) {
    case ColumnCpu:
        return f.cpuTenths;
    case ColumnCpuTime:
        return static_cast<long long>(f.cpuTime);
    case ColumnWorkingSet:
        return f.workingSet == kFigureUnknown ? -1 : static_cast<long long>(f.workingSet);
    case ColumnPrivateBytes:
        return f.privateBytes == kFigureUnknown ? -1 : static_cast<long long>(f.privateBytes);
    case ColumnThreads:
        return record.threadCount;
    case ColumnHandles:
        return f.handleCount;
    default:
        return -1;
    }
}

// The locale's way of writing whole numbers: its digit grouping and thousands separator.
const NUMBERFMTA &WholeNumberFormat()
{
    static char decimal[8] = ".", thousands[8] = ",";
    static NUMBERFMTA format = {0, 0, 3, decimal, thousands, 1};
    static bool read = false;
    if (!read) {
        read = true;
        char grouping[16] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, sizeof decimal);
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, sizeof thousands);
        if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, sizeof grouping))
            format.Grouping = GroupingFromLocale(grouping);
    }
    return format;
}

// The start time in the user's short date and time formats.
void FormatStart(ULONGLONG start, char *text, size_t size)
{
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(start);
    utc.dwHighDateTime = static_cast<DWORD>(start >> 32);
    SYSTEMTIME fields;
    if (!UtcToLocalFields(utc, nullptr, &fields))
        return;
    const int date = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, text,
                                    static_cast<int>(size));
    if (date <= 0 || static_cast<size_t>(date) + 1 >= size) {
        text[0] = '\0';
        return;
    }
    text[date - 1] = ' ';
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &fields, nullptr, text + date,
                        static_cast<int>(size) - date))
        text[date - 1] = '\0';
}

} // namespace

UINT GroupingFromLocale(const char *text)
{
    // The locale writes the group sizes from the decimal point leftwards, "3;2;0"; a final 0
    // repeats the group before it, without one the digits beyond the last group stay together.
    // The number format takes the same digits the other way: a final 0 there stops repeating.
    UINT value = 0;
    char last = '\0';
    for (const char *p = text; *p; ++p)
        if (*p >= '0' && *p <= '9' && value < 100000000) {
            value = value * 10 + static_cast<UINT>(*p - '0');
            last = *p;
        }
    if (last == '0')
        return value / 10; // repeats
    return value * 10;     // stops after the last group
}

void FormatGroupedNumber(ULONGLONG value, char *text, size_t size)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%llu", value);
    char grouped[64];
    if (!GetNumberFormatA(LOCALE_USER_DEFAULT, 0, digits, &WholeNumberFormat(), grouped,
                          sizeof grouped) ||
        !grouped[0]) // some systems write nothing for a zero
        std::strcpy(grouped, digits);
    std::snprintf(text, size, "%s", grouped);
}

void FormatKilobytes(ULONGLONG bytes, char *text, size_t size)
{
    char grouped[64];
    FormatGroupedNumber(bytes / 1024, grouped, sizeof grouped);
    std::snprintf(text, size, "%s K", grouped);
}

bool IsFigureColumn(ColumnKind kind)
{
    return (kind >= ColumnCpu && kind <= ColumnStarted) || kind == ColumnParentId ||
           (kind == ColumnThreads && IsNt);
}

void FormatFigureCell(ColumnKind kind, const ProcessRecord &record, char *text, size_t size)
{
    text[0] = '\0';
    const long long value = FigureValue(kind, record);
    if (value < 0)
        return;
    switch (kind) {
    case ColumnCpu:
        std::snprintf(text, size, "%d.%d", static_cast<int>(value / 10), static_cast<int>(value % 10));
        break;
    case ColumnCpuTime: {
        const ULONGLONG seconds = static_cast<ULONGLONG>(value) / kTicksPerSecond;
        std::snprintf(text, size, "%llu:%02u:%02u", seconds / 3600,
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
        break;
    }
    case ColumnWorkingSet:
    case ColumnPrivateBytes:
        FormatKilobytes(static_cast<ULONGLONG>(value), text, size);
        break;
    case ColumnStarted:
        FormatStart(static_cast<ULONGLONG>(value), text, size);
        break;
    case ColumnParentId: // in the base the ID column uses
        std::snprintf(text, size, g_settings.hexProcessId ? "%llx" : "%llu",
                      static_cast<unsigned long long>(value));
        break;
    default:
        std::snprintf(text, size, "%lld", value);
        break;
    }
}

bool FigureTextsDiffer(ColumnKind kind, const ProcessRecord &a, const ProcessRecord &b)
{
    // The texts show whole seconds and whole kilobytes; below that they cannot differ.
    long long divisor = 1;
    if (kind == ColumnCpuTime)
        divisor = kTicksPerSecond;
    else if (kind == ColumnWorkingSet || kind == ColumnPrivateBytes)
        divisor = 1024;
    const long long x = FigureValue(kind, a), y = FigureValue(kind, b);
    return (x < 0 || y < 0) ? x != y : x / divisor != y / divisor;
}

int CompareFigures(ColumnKind kind, const ProcessRecord &a, const ProcessRecord &b)
{
    const long long x = FigureValue(kind, a), y = FigureValue(kind, b);
    return x > y ? 1 : (x < y ? -1 : 0);
}
