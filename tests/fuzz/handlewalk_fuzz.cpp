// Fuzzing the walker over the system's handle table, both classes in both widths.
// Parser under test: providers/handlewalk.cpp
//
// Besides the sanitizers' checks: the walk visits exactly the count it reports, never more
// entries than the bytes hold whatever the head claims, and a table cut short yields a prefix of
// what the whole table yields.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "providers/handlewalk.h"
#include "tests/fuzz/fuzz.h"

namespace {

void CollectHandle(void *context, const HandleEntry &entry)
{
    static_cast<std::vector<uint64_t> *>(context)->push_back(entry.handle ^ entry.processId);
}

std::vector<uint64_t> Walk(const uint8_t *data, size_t size, const HandleTableLayout &layout)
{
    const FuzzCopy table(data, size);
    std::vector<uint64_t> seen;
    const size_t visited =
        WalkHandleTable(table.data(), table.size(), layout, CollectHandle, &seen);
    FuzzCheck(visited == seen.size(), "the count matches the visits");
    FuzzCheck(visited == HandleTableCount(table.data(), table.size(), layout),
              "the walk visits the count");
    FuzzCheck(size < layout.headSize || visited <= (size - layout.headSize) / layout.entrySize,
              "every entry visited is a whole one");
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (HandleTableKind kind : {HandleTableExtended, HandleTableLegacy})
        for (size_t width : {4u, 8u}) {
            const HandleTableLayout &layout = *HandleTableLayoutFor(kind, width);
            const std::vector<uint64_t> whole = Walk(data, size, layout);
            const std::vector<uint64_t> cut = Walk(data, size / 2, layout);
            FuzzCheck(cut.size() <= whole.size() &&
                          std::equal(cut.begin(), cut.end(), whole.begin()),
                      "a table cut short yields a prefix");
        }
    return 0;
}

namespace {

// A head claiming `claimed` entries, then `count` entries of the layout with process 4 and
// handles 4, 8, 12, ...
std::string Table(HandleTableKind kind, size_t width, uint32_t count, uint32_t claimed)
{
    const HandleTableLayout &layout = *HandleTableLayoutFor(kind, width);
    std::string table(layout.headSize + count * layout.entrySize, '\0');
    std::memcpy(&table[0], &claimed, sizeof claimed);
    for (uint32_t i = 0; i < count; ++i) {
        char *entry = &table[layout.headSize + i * layout.entrySize];
        const uint32_t process = 4, handle = 4 * (i + 1);
        std::memcpy(entry + layout.processId, &process, layout.processIdSize < 4 ? 2 : 4);
        std::memcpy(entry + layout.handle, &handle, layout.handleSize < 4 ? 2 : 4);
    }
    return table;
}

} // namespace

std::vector<std::string> FuzzSeeds()
{
    return {Table(HandleTableExtended, 8, 3, 3), Table(HandleTableExtended, 4, 2, 2),
            Table(HandleTableLegacy, 8, 3, 3), Table(HandleTableLegacy, 4, 2, 9)};
}
