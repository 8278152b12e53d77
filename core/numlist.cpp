#include "core/numlist.h"

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether nothing but white space is left before the list's end.
static bool OnlyBlanksLeft(const NumberList &list)
{
    for (size_t p = list.pos; p < list.size && list.data[p] != '\0'; ++p)
        if (!IsBlank(list.data[p]))
            return false;
    return true;
}

// Reads a number at the list's position (no separator before it).
static bool ReadNumber(NumberList *list, int32_t *value)
{
    const char *data = list->data;
    size_t size = list->size;
    size_t p = list->pos;

    while (p < size && IsBlank(data[p]))
        ++p;
    bool negative = false;
    if (p < size && (data[p] == '+' || data[p] == '-')) {
        negative = data[p] == '-';
        ++p;
    }

    // Accumulate the magnitude unsigned and saturate at the 32-bit limit of the sign, so that a
    // long run of digits neither overflows nor stops early: the position still ends after it.
    const uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    uint32_t magnitude = 0;
    size_t digits = p;
    while (p < size && IsDigit(data[p])) {
        uint32_t digit = static_cast<uint32_t>(data[p] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
        ++p;
    }
    if (p == digits) {
        // No digits: the value is 0 and nothing after the separator is consumed.
        *value = 0;
        return true;
    }
    list->pos = p;
    if (!negative)
        *value = static_cast<int32_t>(magnitude);
    else
        *value = magnitude == 0x80000000u ? INT32_MIN : -static_cast<int32_t>(magnitude);
    return true;
}

bool NextNumber(NumberList *list, int32_t *value)
{
    if (list->pos >= list->size || list->data[list->pos] == '\0')
        return false;
    ++list->pos; // the separator, whatever it is
    return ReadNumber(list, value);
}

void ParseWindowSize(const char *data, size_t size, int *width, int *height)
{
    NumberList list = MakeNumberList(data, size);
    int32_t n;
    if (NextNumber(&list, &n)) {
        *width = n;
        if (NextNumber(&list, &n))
            *height = n;
    }
}

bool ParseFlag(const char *data, size_t size) { return size == 0 || data[0] != '0'; }

static int32_t BoundRefreshSeconds(int32_t seconds)
{
    return seconds < 0 ? 0 : seconds > kMaxRefreshSeconds ? kMaxRefreshSeconds : seconds;
}

void ParseRefreshTimes(const char *data, size_t size, RefreshIntervals *times)
{
    int32_t n[5];
    int count = 0;
    NumberList list = MakeNumberList(data, size);
    while (count < 5 && NextNumber(&list, &n[count])) {
        n[count] = BoundRefreshSeconds(n[count]);
        ++count;
    }

    if (count > 1)
        times->threadRefresh = n[1];
    if (count > 2)
        times->moduleRefresh = n[2];
    if (count > 3)
        times->memoryRefresh = n[3];
    if (count == 5)
        times->mainRefresh = n[4];
    else if (count > 0 && n[0] != 0)
        times->mainRefresh = n[0];
}

bool ParseExtraColumns(const char *data, size_t size, int count, unsigned *mask)
{
    unsigned chosen = 0;
    int32_t n;
    NumberList list = MakeNumberList(data, size);
    // A list typed by hand may start with its first number instead of a blank, and may end in
    // white space.
    const bool bare = size > 0 && IsDigit(data[0]);
    while (!OnlyBlanksLeft(list) &&
           (bare && list.pos == 0 ? ReadNumber(&list, &n) : NextNumber(&list, &n))) {
        if (n < 1 || n > count || n > 31 || (chosen & (1u << (n - 1))))
            return false;
        chosen |= 1u << (n - 1);
    }
    *mask = chosen;
    return true;
}

// The next column width, if the list goes on and the position is still inside the data read.
static bool NextWidth(NumberList *list, uint16_t *width)
{
    int32_t n;
    if (list->pos + 1 >= list->size || !NextNumber(list, &n))
        return false;
    *width = static_cast<uint16_t>(static_cast<uint32_t>(n) & 0xFFFFu);
    return true;
}

bool ParseColumnWidths(const char *data, size_t size, uint16_t *widths, int count)
{
    uint32_t sum = 0;
    uint16_t width;
    NumberList list = MakeNumberList(data, size);
    for (int i = 0; i < count && NextWidth(&list, &width); ++i)
        sum += width;
    if (sum == 0)
        return false;

    list = MakeNumberList(data, size);
    for (int i = 0; i < count && NextWidth(&list, &width); ++i)
        widths[i] = width;
    return true;
}
