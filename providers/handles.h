// The handles of processes (NT family): the system's handle table, each handle's object type and
// name. A handle's name is read from a copy of it duplicated into this process; a file's name on
// a worker thread with a time limit, because the name query of a synchronous pipe can block for
// ever. A name that cannot be read is left empty.
#pragma once
#include <windows.h>

#include <vector>

#include "providers/handlewalk.h"

// The system's handle table at one moment.
struct HandleSnapshot {
    std::vector<unsigned char> table; // as the system gave it
    const HandleTableLayout *layout;  // null: no table
    char driveDevices[26][MAX_PATH]; // what each drive letter stands for; empty for none
};

// Reads the table (the extended class where the system has it, else the older one); false when
// there is none to read (Windows 9x, or the system refuses).
bool TakeHandleSnapshot(HandleSnapshot *snapshot);
// Frees the table's bytes.
void DropHandleSnapshot(HandleSnapshot *snapshot);

// What is told of one handle; texts valid during the callback only.
struct HandleInfo {
    const char *type; // the object type's name ("File", "Event", ...); empty when unknown
    const char *name; // drive-letter path for files; empty when it has none or cannot be read
    ULONG_PTR handle;
    DWORD access;
};
typedef void (*HandleCallback)(void *user, const HandleInfo &info);

enum HandleReadResult {
    HandlesRead,
    HandlesDenied,      // the process refused to hand out copies of its handles
    HandlesUnavailable, // no handle table on this system
};

// Calls `callback` for each handle of process `id` in `snapshot`.
HandleReadResult ReadProcessHandles(const HandleSnapshot &snapshot, DWORD id,
                                    HandleCallback callback, void *user);

// How long a file's name may take to read before it is left empty.
const DWORD kFileNameLimitMs = 200;
