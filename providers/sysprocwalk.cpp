#include "providers/sysprocwalk.h"

#include <cstring>

namespace {

// Offsets of the fields read from an entry. Up to the kernel time both layouts agree; the image
// name (a counted string with a pointer) then shifts every later field on 64-bit. An entry must
// hold at least everything up to the end of the memory counters (the I/O counters and thread
// records that follow them are not read).
const SysProcessLayout kLayouts[] = {
    {4, 0x88, 0x04, 0x20, 0x28, 0x30, 0x44, 0x48, 0x4C, 0x68, 0x7C, 0x40, 0xB8, 0x40, 0x34, 0x38},
    {8, 0xD0, 0x04, 0x20, 0x28, 0x30, 0x50, 0x58, 0x60, 0x90, 0xB8, 0x48, 0x100, 0x50, 0x44, 0x48},
};

uint32_t Read32(const unsigned char *entry, uint32_t offset)
{
    uint32_t value;
    std::memcpy(&value, entry + offset, sizeof value);
    return value;
}

uint64_t Read64(const unsigned char *entry, uint32_t offset)
{
    uint64_t value;
    std::memcpy(&value, entry + offset, sizeof value);
    return value;
}

// Handles and sizes are pointer-wide; identifiers fit in their low 32 bits.
uint64_t ReadWord(const unsigned char *entry, uint32_t offset, uint32_t pointerSize)
{
    return pointerSize == 8 ? Read64(entry, offset) : Read32(entry, offset);
}

const uint32_t kStateWaiting = 5;
const uint32_t kWaitSuspended = 5;

// Whether the entry's `count` thread records, within the `room` bytes the entry may use, all wait
// because their thread is suspended.
bool ThreadsSuspended(const unsigned char *entry, size_t room, uint32_t count,
                      const SysProcessLayout &layout)
{
    if (count == 0 || room < layout.threadsStart ||
        (room - layout.threadsStart) / layout.threadSize < count)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char *thread = entry + layout.threadsStart + size_t(i) * layout.threadSize;
        if (Read32(thread, layout.threadState) != kStateWaiting ||
            Read32(thread, layout.waitReason) != kWaitSuspended)
            return false;
    }
    return true;
}

SysProcessEntry ReadEntry(const unsigned char *entry, const SysProcessLayout &layout)
{
    SysProcessEntry result;
    result.id = static_cast<uint32_t>(ReadWord(entry, layout.id, layout.pointerSize));
    result.parentId = static_cast<uint32_t>(ReadWord(entry, layout.parentId, layout.pointerSize));
    result.threadCount = Read32(entry, layout.threadCount);
    result.handleCount = Read32(entry, layout.handleCount);
    result.createTime = Read64(entry, layout.createTime);
    result.userTime = Read64(entry, layout.userTime);
    result.kernelTime = Read64(entry, layout.kernelTime);
    result.workingSet = ReadWord(entry, layout.workingSet, layout.pointerSize);
    result.privateBytes = ReadWord(entry, layout.privateBytes, layout.pointerSize);
    result.basePriority = static_cast<int32_t>(Read32(entry, layout.basePriority));
    return result;
}

} // namespace

const SysProcessLayout *SysProcessLayoutFor(size_t pointerSize)
{
    for (const SysProcessLayout &layout : kLayouts)
        if (layout.pointerSize == pointerSize)
            return &layout;
    return nullptr;
}

size_t WalkSysProcesses(const void *data, size_t size, const SysProcessLayout &layout,
                        SysProcessVisit visit, void *context)
{
    const unsigned char *block = static_cast<const unsigned char *>(data);
    size_t visited = 0;
    size_t offset = 0;
    while (block && size - offset >= layout.entrySize) {
        const unsigned char *entry = block + offset;
        // The next entry must lie beyond this one's fields, so every step advances and a damaged
        // chain cannot loop or overlap; an offset past the block ends the walk before the sum
        // could wrap around.
        const uint32_t next = Read32(entry, 0);
        SysProcessEntry read = ReadEntry(entry, layout);
        const size_t room = next >= layout.entrySize && next <= size - offset ? next : size - offset;
        read.threadsSuspended = ThreadsSuspended(entry, room, read.threadCount, layout);
        visit(context, read);
        ++visited;
        if (next < layout.entrySize || next > size - offset)
            break;
        offset += next;
    }
    return visited;
}
