// Fuzzing the number lists of the settings' text values.
// Parser under test: core/numlist.cpp
//
// Each number NextNumber reads is compared with what the C library's strtoll reads at the same
// place in a terminated copy (clamped to 32 bits), including where the list goes on afterwards.
// The value parsers that build on it must stay inside their outputs and take only numbers of
// the list.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/numlist.h"
#include "tests/fuzz/fuzz.h"

namespace {

// The numbers of the list, read with the C library.
std::vector<int32_t> ReferenceNumbers(const uint8_t *data, size_t size,
                                      std::vector<size_t> *positions)
{
    const std::string text(reinterpret_cast<const char *>(data), size); // terminated by c_str()
    std::vector<int32_t> numbers;
    size_t pos = 0;
    while (pos < size && text[pos] != '\0') {
        const char *start = text.c_str() + pos + 1; // after the separator
        char *end = nullptr;
        errno = 0;
        const long long value = std::strtoll(start, &end, 10);
        numbers.push_back(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN
                                                                             : static_cast<int32_t>(value));
        pos = static_cast<size_t>(end - text.c_str());
        positions->push_back(pos);
    }
    return numbers;
}

bool IsListed(const std::vector<int32_t> &numbers, int value)
{
    for (int32_t n : numbers)
        if (n == value)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCopy copy(data, size);
    const char *text = reinterpret_cast<const char *>(copy.data());
    std::vector<size_t> positions;
    const std::vector<int32_t> expected = ReferenceNumbers(data, size, &positions);

    NumberList list = MakeNumberList(text, size);
    int32_t value;
    for (size_t i = 0; i < expected.size(); ++i) {
        FuzzCheck(NextNumber(&list, &value), "the list holds as many numbers as strtoll finds");
        FuzzCheck(value == expected[i], "each number is the one strtoll reads");
        FuzzCheck(list.pos == positions[i], "the list goes on where strtoll stopped");
    }
    value = 12345;
    FuzzCheck(!NextNumber(&list, &value) && value == 12345, "an ended list reads nothing");

    const int kUnset = -777777;
    int width = kUnset, height = kUnset;
    ParseWindowSize(text, size, &width, &height);
    FuzzCheck((width == kUnset || IsListed(expected, width)) &&
                  (height == kUnset || IsListed(expected, height)),
              "the window size comes from the list");
    ParseFlag(text, size);

    RefreshIntervals times = {kUnset, kUnset, kUnset, kUnset};
    ParseRefreshTimes(text, size, &times);
    for (int field : {times.threadRefresh, times.moduleRefresh, times.memoryRefresh,
                      times.mainRefresh}) {
        // A listed number, brought into the dialog's range: 0 stands for any negative one and
        // the top of the range for any larger one.
        const bool bounded = field >= 0 && field <= kMaxRefreshSeconds;
        const bool fromList = IsListed(expected, field) ||
                              (field == 0 && std::any_of(expected.begin(), expected.end(),
                                                         [](int32_t n) { return n < 0; })) ||
                              (field == kMaxRefreshSeconds &&
                               std::any_of(expected.begin(), expected.end(),
                                           [](int32_t n) { return n > kMaxRefreshSeconds; }));
        FuzzCheck(field == kUnset || (bounded && fromList),
                  "the intervals come from the list, within the dialog's range");
    }

    for (int count = 0; count <= 6; ++count) {
        uint16_t widths[8];
        for (uint16_t &w : widths)
            w = 0xBEEF;
        const bool taken = ParseColumnWidths(text, size, widths, count);
        for (int i = taken ? count : 0; i < 8; ++i)
            FuzzCheck(widths[i] == 0xBEEF, "no width is written past the count, or when none is taken");
    }

    unsigned mask = 0xDEAD;
    if (ParseExtraColumns(text, size, 7, &mask)) {
        FuzzCheck(mask < (1u << 7), "only the seven extra columns can be chosen");
        // The separator-led reading of the reference may also see a trailing blank's 0 or lose
        // a first number typed without a blank; every column it does see is chosen.
        for (int32_t n : expected)
            FuzzCheck(n < 1 || n > 7 || (mask >> (n - 1)) & 1, "every listed column is chosen");
    } else {
        FuzzCheck(mask == 0xDEAD, "a bad list leaves the choice alone");
    }
    return 0;
}

std::vector<std::string> FuzzSeeds()
{
    return {std::string(" 640 480", 9), std::string(" 0 2 5 10 3", 12), " 7",
            std::string(" 120 80 60\0 99", 15), " -2147483648 +2147483648 99999999999",
            "\t \n5 x-3  +", "0", " 1 3 5", " 7 7", "1 3 5 \t\r\n"};
}
