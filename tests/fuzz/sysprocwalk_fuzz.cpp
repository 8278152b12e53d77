// Fuzzing the walker over the system's process figures, in both entry layouts.
// Parser under test: providers/sysprocwalk.cpp
//
// Besides the sanitizers' checks: the returned count matches the visits, the walk ends (it can
// visit at most one entry per fixed part that fits), and a block cut short yields a prefix of
// what the whole block yields.
#include <cstring>
#include <string>
#include <vector>

#include "providers/sysprocwalk.h"
#include "tests/fuzz/fuzz.h"

namespace {

void CollectId(void *context, const SysProcessEntry &entry)
{
    static_cast<std::vector<uint32_t> *>(context)->push_back(entry.id);
}

std::vector<uint32_t> Walk(const uint8_t *data, size_t size, const SysProcessLayout &layout)
{
    const FuzzCopy block(data, size);
    std::vector<uint32_t> ids;
    const size_t visited = WalkSysProcesses(block.data(), block.size(), layout, CollectId, &ids);
    FuzzCheck(visited == ids.size(), "the count matches the visits");
    FuzzCheck(visited <= size / layout.entrySize, "every entry visited is a whole one");
    return ids;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (size_t width : {4u, 8u}) {
        const SysProcessLayout &layout = *SysProcessLayoutFor(width);
        const std::vector<uint32_t> whole = Walk(data, size, layout);
        const std::vector<uint32_t> cut = Walk(data, size / 2, layout);
        FuzzCheck(cut.size() <= whole.size() &&
                      std::equal(cut.begin(), cut.end(), whole.begin()),
                  "a block cut short yields a prefix");
    }
    return 0;
}

namespace {

// `count` entries of the layout, `stride` bytes apart, with identifiers 4, 8, 12, ...
std::string Block(size_t width, int count, uint32_t stride)
{
    const SysProcessLayout &layout = *SysProcessLayoutFor(width);
    std::string block(count * stride, '\0');
    for (int i = 0; i < count; ++i) {
        const uint32_t next = i + 1 < count ? stride : 0, id = 4 * (i + 1);
        std::memcpy(&block[i * stride], &next, sizeof next);
        std::memcpy(&block[i * stride + layout.id], &id, sizeof id);
    }
    return block;
}

} // namespace

std::vector<std::string> FuzzSeeds()
{
    return {Block(4, 3, 0xB8 + 0x40), Block(8, 3, 0x100 + 0x50), Block(8, 1, 0xD0)};
}
