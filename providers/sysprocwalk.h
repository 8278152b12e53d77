// The walker over the block NtQuerySystemInformation(SystemProcessInformation) returns: one entry
// per process, each giving the offset of the next. Pure code over (pointer, size) with no system
// headers, so it also builds natively for sanitizers and fuzzing. The block comes from the system
// but is treated as untrusted: only entries that lie wholly inside it are reported, and a chain of
// offsets that stops advancing ends the walk.
#pragma once
#include <cstddef>
#include <cstdint>

// What one entry tells about a process. Times are in 100-nanosecond units.
struct SysProcessEntry {
    uint32_t id;
    uint32_t parentId;
    uint32_t threadCount;
    uint32_t handleCount;
    uint64_t createTime; // since 1601 (a FILETIME); 0 for the idle process
    uint64_t userTime;
    uint64_t kernelTime;
    uint64_t workingSet;   // bytes
    uint64_t privateBytes; // bytes committed to the process alone (its page-file usage)
    int32_t basePriority;  // the base priority of its class (4, 6, 8, 10, 13, 24); 0 on Wine
    bool threadsSuspended; // it has threads, every one of them waiting because it is suspended
                           // (false too when the thread records do not lie wholly in the block)
};

// Where the fields sit in an entry; the block of a 32-bit program has 4-byte pointers and
// handles, that of a 64-bit program 8-byte ones, which moves everything after the image name.
struct SysProcessLayout {
    uint32_t pointerSize;
    uint32_t entrySize; // the part of an entry the fields are read from
    uint32_t threadCount, createTime, userTime, kernelTime;
    uint32_t id, parentId, handleCount, workingSet, privateBytes;
    uint32_t basePriority;
    // The thread records after the process's own part: where they start, the size of one, and
    // where each holds its state and its wait reason.
    uint32_t threadsStart, threadSize, threadState, waitReason;
};
// The layout for pointers of `pointerSize` bytes (4 or 8); null for any other size.
const SysProcessLayout *SysProcessLayoutFor(size_t pointerSize);

typedef void (*SysProcessVisit)(void *context, const SysProcessEntry &entry);

// Calls `visit` for every whole entry of the block in order; returns how many it visited.
size_t WalkSysProcesses(const void *data, size_t size, const SysProcessLayout &layout,
                        SysProcessVisit visit, void *context);
