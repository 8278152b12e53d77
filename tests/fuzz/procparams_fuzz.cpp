// Fuzzing the startup-record and environment walkers on arbitrary bytes.
// Parser under test: providers/procparams.cpp
//
// The first byte picks the pointer size and whether buffers are read as addresses or offsets.
// Besides the sanitizers' checks: a text said to lie in the block lies inside the record's own
// length, every text is an even number of bytes within the limit, and the environment's entries
// follow each other inside the block, hold no terminator and are counted as visited.
#include <cstring>
#include <string>
#include <vector>

#include "providers/procparams.h"
#include "tests/fuzz/fuzz.h"

namespace {

const unsigned long long kBase = 0x7ff00000ull;

struct Entries {
    const uint8_t *data;
    size_t size;
    size_t next; // where the next entry may start
    size_t count;
};

void CheckEntry(void *user, size_t offset, size_t bytes)
{
    Entries *entries = static_cast<Entries *>(user);
    FuzzCheck(offset >= entries->next && offset % 2 == 0 && bytes % 2 == 0 && bytes > 0,
              "entries follow each other on character bounds");
    FuzzCheck(offset + bytes + 2 <= entries->size, "an entry and its terminator lie inside");
    for (size_t i = offset; i < offset + bytes; i += 2)
        FuzzCheck(entries->data[i] || entries->data[i + 1], "an entry holds no terminator");
    FuzzCheck(!entries->data[offset + bytes] && !entries->data[offset + bytes + 1],
              "an entry ends at its terminator");
    entries->next = offset + bytes + 2;
    ++entries->count;
}

// Whether the record's command line has sound fields and, being normalised, must be given
// wherever its address points.
bool SoundNormalisedCommandLine(const uint8_t *block, int pointerSize)
{
    const size_t at = pointerSize == 8 ? 0x70 : 0x40;
    uint16_t length = 0, maximum = 0;
    unsigned long long buffer = 0;
    std::memcpy(&length, block + at, 2);
    std::memcpy(&maximum, block + at + 2, 2);
    std::memcpy(&buffer, block + at + pointerSize, static_cast<size_t>(pointerSize));
    return (block[8] & 1) && length && length % 2 == 0 && length <= maximum && buffer;
}

void CheckParams(const FuzzCopy &block, int pointerSize)
{
    ProcessParamsView view;
    if (!WalkProcessParams(block.data(), block.size(), pointerSize, kBase, &view))
        return;
    FuzzCheck(block.size() >= ProcessParamsMinimum(pointerSize), "the fixed part was there");
    FuzzCheck(!SoundNormalisedCommandLine(block.data(), pointerSize) ||
                  view.texts[ParamCommandLine].present,
              "a sound command line is given, below the record too");
    uint32_t length = 0;
    std::memcpy(&length, block.data() + 4, sizeof length);
    for (const ParamTextPlace &place : view.texts) {
        if (!place.present)
            continue;
        FuzzCheck(place.bytes % 2 == 0 && place.bytes > 0 && place.bytes <= kMaxParamBytes,
                  "a text is whole characters within the limit");
        FuzzCheck(!place.inBlock ||
                      (place.offset + place.bytes <= block.size() && place.offset + place.bytes <= length),
                  "a text in the block lies inside the record");
        FuzzCheck(pointerSize == 8 || place.address <= 0xFFFFFFFFull,
                  "a text lies in the process's address range");
        FuzzCheck(!place.inBlock || place.address == kBase + place.offset,
                  "a text in the block lies where its address says");
    }
}

// Puts the text after the record, or names a place below it where `below`.
void PutText(std::string *block, size_t at, int pointerSize, const std::string &text,
             bool below = false)
{
    const uint16_t bytes = static_cast<uint16_t>(text.size());
    const unsigned long long address = below ? kBase - 0x20000 : kBase + block->size();
    std::memcpy(&(*block)[at], &bytes, 2);
    std::memcpy(&(*block)[at + 2], &bytes, 2);
    std::memcpy(&(*block)[at + pointerSize], &address, static_cast<size_t>(pointerSize));
    *block += text;
}

std::string Wide(const char *text)
{
    std::string wide;
    for (; *text; ++text)
        wide += std::string(1, *text) + '\0';
    return wide;
}

// A normalised record of the given width with a command line (after the record or below it)
// and a current directory.
std::string Record(int pointerSize, bool commandLineBelow = false)
{
    std::string block(pointerSize == 8 ? 0x400 : 0x298, '\0');
    block[8] = 1; // normalised
    PutText(&block, pointerSize == 8 ? 0x70 : 0x40, pointerSize, Wide("kvchild --marker alpha"),
            commandLineBelow);
    PutText(&block, pointerSize == 8 ? 0x38 : 0x24, pointerSize, Wide("C:\\"));
    const uint32_t length = static_cast<uint32_t>(block.size());
    std::memcpy(&block[0], &length, 4);
    std::memcpy(&block[4], &length, 4);
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const FuzzCopy rest(data + 1, size - 1);
    CheckParams(rest, data[0] & 1 ? 8 : 4);
    Entries entries = {rest.data(), rest.size(), 0, 0};
    const size_t count = WalkEnvironment(rest.data(), rest.size(), CheckEntry, &entries);
    FuzzCheck(count == entries.count, "every entry counted is visited");
    return 0;
}

std::vector<std::string> FuzzSeeds()
{
    const std::string environment = Wide("PATH=C:\\") + std::string(2, '\0') +
                                    Wide("KVTEST_MARK=startup-42") + std::string(4, '\0');
    return {std::string(1, '\1') + Record(8), std::string(1, '\0') + Record(4),
            std::string(1, '\1') + Record(8, true), std::string(1, '\0') + Record(4, true),
            std::string(1, '\0') + environment};
}
