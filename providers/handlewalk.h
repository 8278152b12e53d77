// The walker over the handle table NtQuerySystemInformation returns: the extended class (every
// field pointer-wide) or the older class (16-bit process and handle values). Pure code over
// (pointer, size) with no system headers, so it also builds natively for sanitizers and fuzzing.
// The table comes from the system but is treated as untrusted: the count at its head is believed
// only as far as whole entries lie inside the bytes.
#pragma once
#include <cstddef>
#include <cstdint>

// One handle of one process.
struct HandleEntry {
    uint32_t processId;
    uint64_t handle;   // the handle's value in its process
    uint64_t object;   // the kernel object's address (0 where hidden)
    uint32_t access;   // the access granted to the handle
    uint16_t typeIndex; // the object type's number (its name comes from the object itself)
};

enum HandleTableKind {
    HandleTableExtended, // class 64, SYSTEM_HANDLE_INFORMATION_EX
    HandleTableLegacy,   // class 16, SYSTEM_HANDLE_INFORMATION
};

// Where the fields sit: the head holding the count, then entries of `entrySize` bytes.
struct HandleTableLayout {
    HandleTableKind kind;
    uint32_t pointerSize;
    uint32_t headSize, entrySize;
    uint32_t processId, processIdSize; // 2 or pointer-wide
    uint32_t handle, handleSize;
    uint32_t object, access, typeIndex, typeIndexSize; // 1 or 2
};
// The layout of the table kind for pointers of `pointerSize` bytes (4 or 8); null otherwise.
const HandleTableLayout *HandleTableLayoutFor(HandleTableKind kind, size_t pointerSize);

typedef void (*HandleVisit)(void *context, const HandleEntry &entry);

// The number of whole entries the table holds: its count, cut to what the bytes hold.
size_t HandleTableCount(const void *data, size_t size, const HandleTableLayout &layout);
// Calls `visit` for each whole entry in order; returns how many it visited.
size_t WalkHandleTable(const void *data, size_t size, const HandleTableLayout &layout,
                       HandleVisit visit, void *context);
