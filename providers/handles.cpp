#include "providers/handles.h"

#include <cstring>

#include "providers/devicepath.h"
#include "providers/provider.h"

namespace {

const int kSystemHandleInformation = 16;
const int kSystemExtendedHandleInformation = 64;
const int kObjectNameInformation = 1;
const int kObjectTypeInformation = 2;
const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
const ULONG kFirstTableBytes = 256 * 1024;
const ULONG kMostTableBytes = 128 * 1024 * 1024; // several million handles
const ULONG kNameBytes = 4096;                   // UNICODE_STRING head and up to 2000 characters

struct CountedText { // UNICODE_STRING
    USHORT length, maximumLength;
    PWSTR buffer;
};

// Reads the table of one class into `table`, grown until it fits; false when the class is unknown
// or the table will not fit in kMostTableBytes.
bool QueryTable(int infoClass, std::vector<unsigned char> *table)
{
    ULONG size = kFirstTableBytes;
    while (size <= kMostTableBytes) {
        std::vector<unsigned char>(size).swap(*table);
        ULONG returned = 0;
        const LONG status =
            g_ntApi.NtQuerySystemInformation(infoClass, table->data(), size, &returned);
        if (status >= 0)
            return true; // the walker believes the count only as far as the bytes hold entries
        if (status != kInfoLengthMismatch)
            break;
        // The table grows while it is read: ask for more than it said it needed.
        size = returned > size ? returned + returned / 4 : size * 2;
    }
    std::vector<unsigned char>().swap(*table);
    return false;
}

void ReadDriveDevices(HandleSnapshot *snapshot)
{
    std::memset(snapshot->driveDevices, 0, sizeof snapshot->driveDevices);
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26 && g_ntApi.QueryDosDeviceA; ++i) {
        const char drive[3] = {static_cast<char>('A' + i), ':', '\0'};
        if ((drives & (1u << i)) &&
            !g_ntApi.QueryDosDeviceA(drive, snapshot->driveDevices[i], MAX_PATH))
            snapshot->driveDevices[i][0] = '\0';
        snapshot->driveDevices[i][MAX_PATH - 1] = '\0';
    }
}

// The text of a counted string the system wrote into `buffer` (`size` bytes), as ANSI; empty when
// the string does not lie inside the buffer.
void CountedToAnsi(const unsigned char *buffer, ULONG size, char *out, int outSize)
{
    out[0] = '\0';
    CountedText text;
    if (size < sizeof text)
        return;
    std::memcpy(&text, buffer, sizeof text);
    const unsigned char *start = reinterpret_cast<const unsigned char *>(text.buffer);
    if (!text.buffer || text.length == 0 || start < buffer + sizeof text ||
        start > buffer + size || text.length > buffer + size - start)
        return;
    const int chars = WideCharToMultiByte(CP_ACP, 0, text.buffer, text.length / 2, out,
                                          outSize - 1, nullptr, nullptr);
    out[chars > 0 ? chars : 0] = '\0';
}

// Object types do not change while the system runs: each type's name is asked once, by the
// number the table gives it (0 is no number and is always asked).
char g_typeNames[256][32];

void ObjectTypeName(HANDLE copy, uint16_t typeIndex, char *out, int size)
{
    if (typeIndex != 0 && typeIndex < 256 && g_typeNames[typeIndex][0]) {
        lstrcpynA(out, g_typeNames[typeIndex], size);
        return;
    }
    unsigned char buffer[1024];
    ULONG returned = 0;
    out[0] = '\0';
    if (!copy || g_ntApi.NtQueryObject(copy, kObjectTypeInformation, buffer, sizeof buffer,
                                     &returned) < 0)
        return;
    CountedToAnsi(buffer, sizeof buffer, out, size);
    if (typeIndex != 0 && typeIndex < 256)
        lstrcpynA(g_typeNames[typeIndex], out, sizeof g_typeNames[typeIndex]);
}

void QueryName(NtQueryObjectFn query, HANDLE copy, unsigned char *buffer, char *name, int size)
{
    ULONG returned = 0;
    name[0] = '\0';
    if (query(copy, kObjectNameInformation, buffer, kNameBytes, &returned) >= 0)
        CountedToAnsi(buffer, kNameBytes, name, size);
}

// The worker that reads files' names, kept between queries: a thread costs more to start than a
// query. Asker and worker share this block, which the worker owns; it frees the block when it
// ends. The asker hands it one copied handle at a time (the worker closes it) and waits for the
// name within the limit. A worker that overruns the limit is abandoned: told to end once its
// query returns, left to finish on its own, and a new one serves the next query.
struct NameWorker {
    HANDLE request, done; // auto-reset events
    volatile LONG quit;
    HANDLE copy;
    NtQueryObjectFn query;
    char name[MAX_PATH * 2];
    unsigned char buffer[kNameBytes];
};

void FreeWorker(NameWorker *worker)
{
    if (worker->request)
        CloseHandle(worker->request);
    if (worker->done)
        CloseHandle(worker->done);
    GlobalFree(worker);
}

DWORD WINAPI RunNameWorker(LPVOID parameter)
{
    NameWorker *worker = static_cast<NameWorker *>(parameter);
    for (;;) {
        WaitForSingleObject(worker->request, INFINITE);
        if (worker->quit)
            break;
        QueryName(worker->query, worker->copy, worker->buffer, worker->name, sizeof worker->name);
        CloseHandle(worker->copy);
        SetEvent(worker->done);
    }
    FreeWorker(worker);
    return 0;
}

NameWorker *g_nameWorker; // the worker serving now; null until the first file

NameWorker *StartNameWorker()
{
    NameWorker *worker = static_cast<NameWorker *>(GlobalAlloc(GPTR, sizeof(NameWorker)));
    if (!worker)
        return nullptr;
    worker->request = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    worker->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    worker->query = g_ntApi.NtQueryObject;
    DWORD threadId;
    HANDLE thread = worker->request && worker->done
                        ? CreateThread(nullptr, 64 * 1024, RunNameWorker, worker,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, &threadId)
                        : nullptr;
    if (!thread) {
        FreeWorker(worker);
        return nullptr;
    }
    CloseHandle(thread);
    return worker;
}

void AbandonNameWorker()
{
    g_nameWorker->quit = 1;
    SetEvent(g_nameWorker->request); // wakes it should it be waiting already
    g_nameWorker = nullptr;
}

// Handles whose name query overran its limit: asked again, each would hold up every read for the
// whole limit and leave one more thread waiting. Kept by process, handle and object; a few only.
struct Blocker {
    DWORD process;
    uint64_t handle, object;
};
std::vector<Blocker> g_blockers;
const size_t kMostBlockers = 256;

bool KnownBlocker(DWORD process, const HandleEntry &entry)
{
    for (const Blocker &blocker : g_blockers)
        if (blocker.process == process && blocker.handle == entry.handle &&
            blocker.object == entry.object)
            return true;
    return false;
}

void RememberBlocker(DWORD process, const HandleEntry &entry)
{
    if (g_blockers.size() >= kMostBlockers)
        g_blockers.erase(g_blockers.begin());
    g_blockers.push_back({process, entry.handle, entry.object});
}

// A file's name, read by the worker within kFileNameLimitMs. Takes over `copy` in every case.
void FileName(HANDLE copy, DWORD process, const HandleEntry &entry, char *name, int size)
{
    name[0] = '\0';
    if (!g_nameWorker)
        g_nameWorker = StartNameWorker();
    if (!g_nameWorker) {
        CloseHandle(copy);
        return;
    }
    g_nameWorker->copy = copy;
    g_nameWorker->name[0] = '\0';
    SetEvent(g_nameWorker->request);
    if (WaitForSingleObject(g_nameWorker->done, kFileNameLimitMs) == WAIT_OBJECT_0) {
        lstrcpynA(name, g_nameWorker->name, size);
        return;
    }
    RememberBlocker(process, entry);
    AbandonNameWorker();
}

void MapName(const HandleSnapshot &snapshot, const char *name, char *out, size_t size)
{
    DriveDevice drives[26];
    size_t count = 0;
    for (int i = 0; i < 26; ++i)
        if (snapshot.driveDevices[i][0])
            drives[count++] = {static_cast<char>('A' + i), snapshot.driveDevices[i]};
    MapDevicePath(name, drives, count, out, size);
}

// Tells one handle of `source` (whose identifier is `id`) to the callback.
void ReadOneHandle(const HandleSnapshot &snapshot, HANDLE source, DWORD id,
                   const HandleEntry &entry, HandleCallback callback, void *user)
{
    HANDLE copy = nullptr;
    const HANDLE original = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.handle));
    if (!DuplicateHandle(source, original, GetCurrentProcess(), &copy, 0, FALSE, 0))
        copy = nullptr;
    char type[32], raw[MAX_PATH * 2] = "", name[MAX_PATH * 2];
    ObjectTypeName(copy, entry.typeIndex, type, sizeof type);
    static unsigned char buffer[kNameBytes];
    if (copy && std::strcmp(type, "File") == 0) {
        if (!KnownBlocker(id, entry))
            FileName(copy, id, entry, raw, sizeof raw);
        else
            CloseHandle(copy);
        copy = nullptr;
    } else if (copy) {
        QueryName(g_ntApi.NtQueryObject, copy, buffer, raw, sizeof raw);
    }
    if (copy)
        CloseHandle(copy);
    MapName(snapshot, raw, name, sizeof name);
    HandleInfo info = {type, name, static_cast<ULONG_PTR>(entry.handle), entry.access};
    callback(user, info);
}

} // namespace

bool TakeHandleSnapshot(HandleSnapshot *snapshot)
{
    snapshot->layout = nullptr;
    if (!g_ntApi.NtQuerySystemInformation || !g_ntApi.NtQueryObject)
        return false;
    const struct {
        int infoClass;
        HandleTableKind kind;
    } kClasses[] = {{kSystemExtendedHandleInformation, HandleTableExtended},
                    {kSystemHandleInformation, HandleTableLegacy}};
    for (const auto &table : kClasses) {
        if (!QueryTable(table.infoClass, &snapshot->table))
            continue;
        snapshot->layout = HandleTableLayoutFor(table.kind, sizeof(void *));
        ReadDriveDevices(snapshot);
        return true;
    }
    return false;
}

void DropHandleSnapshot(HandleSnapshot *snapshot)
{
    std::vector<unsigned char>().swap(snapshot->table);
    snapshot->layout = nullptr;
}

namespace {

// One process's handles, read as the walk meets them.
struct ProcessHandles {
    const HandleSnapshot *snapshot;
    HANDLE process;
    DWORD id, key;
    HandleCallback callback;
    void *user;
};

void ReadIfOwn(void *context, const HandleEntry &entry)
{
    const ProcessHandles &own = *static_cast<ProcessHandles *>(context);
    if (entry.processId == own.key)
        ReadOneHandle(*own.snapshot, own.process, own.id, entry, own.callback, own.user);
}

} // namespace

HandleReadResult ReadProcessHandles(const HandleSnapshot &snapshot, DWORD id,
                                    HandleCallback callback, void *user)
{
    if (!g_ntApi.NtQueryObject || !snapshot.layout)
        return HandlesUnavailable;
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, id);
    if (!process)
        return HandlesDenied;
    // One walk over the whole table costs less than a thousandth of the reads of one handle. The
    // older table keeps only the low 16 bits of process identifiers.
    const DWORD key = snapshot.layout->processIdSize == 2 ? id & 0xFFFF : id;
    ProcessHandles own = {&snapshot, process, id, key, callback, user};
    WalkHandleTable(snapshot.table.data(), snapshot.table.size(), *snapshot.layout, ReadIfOwn,
                    &own);
    CloseHandle(process);
    return HandlesRead;
}
