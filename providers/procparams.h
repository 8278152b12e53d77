// Reads the startup record of a process (its process parameters) and its environment block from
// copies of their bytes. Pure: it knows nothing of processes or of the system, and trusts no
// length, offset or address found in the bytes. Texts are UTF-16, as the system keeps them.
#pragma once
#include <cstddef>

enum ParamText {
    ParamCommandLine,
    ParamCurrentDirectory,
    ParamImagePath,
    ParamWindowTitle,
    ParamDesktop,
    ParamTextCount,
};

// Where one text of the record lies: `inBlock` when it lies inside the bytes given (at
// `offset`), else at `address` in the other process. `bytes` is even and at most kMaxParamBytes.
struct ParamTextPlace {
    bool present; // false for a text the record does not have, or whose fields do not add up
    bool inBlock;
    size_t offset;
    unsigned long long address;
    size_t bytes;
};

struct ProcessParamsView {
    ParamTextPlace texts[ParamTextCount];
    unsigned long showWindow;        // the show command the process was started with
    bool showWindowGiven;            // STARTF_USESHOWWINDOW was set
    unsigned long long environment;  // address of the environment block; 0 = none
    unsigned long long environmentBytes; // its size where the record gives it, else 0
};

const size_t kMaxParamBytes = 32767 * 2; // the longest text the system's strings can hold

// The smallest block that holds every field read: the record's fixed part, 32- or 64-bit.
size_t ProcessParamsMinimum(int pointerSize);
// Reads a record copied from address `base` of a process whose pointers are `pointerSize` (4 or 8)
// bytes wide. False when the bytes are too few for the record or its own length says so.
bool WalkProcessParams(const void *data, size_t size, int pointerSize, unsigned long long base,
                       ProcessParamsView *view);

// Calls `visit` for each "NAME=value" entry of an environment block, in order, with the entry's
// offset and length in bytes (its terminator left out), until the empty entry that ends the block
// or the end of the bytes; an entry cut off by the end of the bytes is left out. Returns the
// number of entries visited.
typedef void (*EnvironmentVisitor)(void *user, size_t offset, size_t bytes);
size_t WalkEnvironment(const void *data, size_t size, EnvironmentVisitor visit, void *user);
