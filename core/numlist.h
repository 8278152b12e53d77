// Parsing of the settings' text values. Pure code: it works on (data, size) as read from the
// registry and never looks past `size`, whether or not the data carries a terminating zero.
#pragma once
#include <cstddef>
#include <cstdint>

// A position in a number list: every number is preceded by one separator character of any kind
// (a space when written by the program); a terminating zero or the end of the data ends the list.
struct NumberList {
    const char *data;
    size_t size;
    size_t pos;
};

inline NumberList MakeNumberList(const char *data, size_t size) { return NumberList{data, size, 0}; }

// Reads the next number: skips one separator, then reads a signed decimal (leading white space,
// optional sign, digits; no digits reads 0; values beyond 32 bits clamp to INT32_MIN/INT32_MAX).
// Returns false, leaving `value` alone, when the list ends at the current position.
bool NextNumber(NumberList *list, int32_t *value);

// The refresh intervals stored in "RefreshTimes", in seconds.
struct RefreshIntervals {
    int threadRefresh;
    int moduleRefresh;
    int memoryRefresh;
    int mainRefresh;
};

// "WindowSize": the first number, if any, is the width, the second the height.
void ParseWindowSize(const char *data, size_t size, int *width, int *height);

// A boolean value: false only when the text starts with the digit '0'; empty text is true.
bool ParseFlag(const char *data, size_t size);

// Longest refresh interval in seconds, the top of the Set Refresh Times dialog's up-down range.
const int kMaxRefreshSeconds = 0x7FFF;

// "RefreshTimes": five numbers "0 thread module memory main"; a list of fewer numbers is the older
// layout with the main interval first (used only when it is not 0). Every interval read is
// brought into 0 to kMaxRefreshSeconds, so that a bad value neither wraps the timer's
// milliseconds nor is kept and saved back.
void ParseRefreshTimes(const char *data, size_t size, RefreshIntervals *times);

// "ExtraColumns": the numbers (1 to `count`) of the shown extra columns, in any order, into a
// mask with bit n-1 for column n. The list may start with its first number or with a separator;
// trailing white space ends it. A number out of range or given twice makes the whole list bad:
// returns false and leaves `mask` alone. An empty list shows none.
bool ParseExtraColumns(const char *data, size_t size, int count, unsigned *mask);

// "ColomnSize": up to `count` widths (low 16 bits of each number) into `widths`. Numbers are read
// only while the offset plus one is below `size`. A list whose widths add up to 0 is ignored;
// returns whether the widths were taken.
bool ParseColumnWidths(const char *data, size_t size, uint16_t *widths, int count);
