#include "providers/handlewalk.h"

#include <cstring>

namespace {

// Extended entries: object, process id, handle (pointer-wide each), access, creator back-trace
// index, type index, attributes, reserved. Older entries: 16-bit process id, back-trace index,
// 8-bit type index, attributes, 16-bit handle, object pointer, access.
const HandleTableLayout kLayouts[] = {
    {HandleTableExtended, 4, 8, 28, 4, 4, 8, 4, 0, 12, 18, 2},
    {HandleTableExtended, 8, 16, 40, 8, 8, 16, 8, 0, 24, 30, 2},
    {HandleTableLegacy, 4, 4, 16, 0, 2, 6, 2, 8, 12, 4, 1},
    {HandleTableLegacy, 8, 8, 24, 0, 2, 6, 2, 8, 16, 4, 1},
};

uint64_t ReadField(const unsigned char *at, uint32_t bytes)
{
    uint64_t value = 0;
    if (bytes == 1 || bytes == 2 || bytes == 4 || bytes == 8)
        std::memcpy(&value, at, bytes); // little-endian, as every Windows machine is
    return value;
}

HandleEntry ReadEntry(const unsigned char *entry, const HandleTableLayout &layout)
{
    HandleEntry read;
    read.processId =
        static_cast<uint32_t>(ReadField(entry + layout.processId, layout.processIdSize));
    read.handle = ReadField(entry + layout.handle, layout.handleSize);
    read.object = ReadField(entry + layout.object, layout.pointerSize);
    read.access = static_cast<uint32_t>(ReadField(entry + layout.access, 4));
    read.typeIndex =
        static_cast<uint16_t>(ReadField(entry + layout.typeIndex, layout.typeIndexSize));
    return read;
}

} // namespace

const HandleTableLayout *HandleTableLayoutFor(HandleTableKind kind, size_t pointerSize)
{
    for (const HandleTableLayout &layout : kLayouts)
        if (layout.kind == kind && layout.pointerSize == pointerSize)
            return &layout;
    return nullptr;
}

size_t HandleTableCount(const void *data, size_t size, const HandleTableLayout &layout)
{
    if (!data || size < layout.headSize)
        return 0;
    // The older table's count is 32 bits wide on both builds; the extended one's pointer-wide.
    const uint32_t countSize = layout.kind == HandleTableLegacy ? 4 : layout.pointerSize;
    const uint64_t claimed = ReadField(static_cast<const unsigned char *>(data), countSize);
    const uint64_t room = (size - layout.headSize) / layout.entrySize;
    return static_cast<size_t>(claimed < room ? claimed : room);
}

size_t WalkHandleTable(const void *data, size_t size, const HandleTableLayout &layout,
                       HandleVisit visit, void *context)
{
    const size_t count = HandleTableCount(data, size, layout);
    if (count == 0) // also for no table at all, which has no entries to point at
        return 0;
    const unsigned char *entries = static_cast<const unsigned char *>(data) + layout.headSize;
    for (size_t i = 0; i < count; ++i)
        visit(context, ReadEntry(entries + i * layout.entrySize, layout));
    return count;
}
