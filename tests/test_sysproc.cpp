// The figures of every process from the system's process query: the real query against a child
// of known shape, and the walk over damaged blocks in both layouts. The handle table likewise:
// its walker over both classes and widths, the names of a real child's handles, and the search.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "fixtures.h"
#include "providers/devicepath.h"
#include "providers/handlesearch.h"
#include "providers/handlewalk.h"
#include "providers/sysinfo.h"

namespace {

TEST(ProcessSnapshot, ReadsTheStartParentAndCountersOfARealChild)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvsnap.exe", "--threads 0,0,0", true));
    std::string line;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(child.ReadLine(&line));

    ProcessSnapshot snapshot;
    ASSERT_TRUE(TakeProcessSnapshot(&snapshot));
    const SysProcessEntry *self = FindSnapshotEntry(snapshot, GetCurrentProcessId());
    const SysProcessEntry *entry = FindSnapshotEntry(snapshot, child.Id());
    ASSERT_TRUE(self && entry);
    EXPECT_EQ(GetCurrentProcessId(), entry->parentId);
    EXPECT_EQ(4u, entry->threadCount); // its main thread and the three it started
    EXPECT_GT(entry->handleCount, 0u);
    EXPECT_GT(entry->workingSet, 0u);
    EXPECT_GT(entry->privateBytes, 0u);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG nowTime = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    EXPECT_GE(entry->createTime, self->createTime); // started by this process, so not before it
    EXPECT_LE(entry->createTime, nowTime);
    EXPECT_GT(entry->createTime, nowTime - 600ull * 10000000); // within the last ten minutes

    // The interval between two snapshots, which the CPU shares are counted over, is the time
    // that passed, in 100 ns units.
    ProcessSnapshot later;
    Sleep(200);
    ASSERT_TRUE(TakeProcessSnapshot(&later));
    EXPECT_GE(later.takenAt - snapshot.takenAt, 1800000u);
    EXPECT_LT(later.takenAt - snapshot.takenAt, 20000000u);
}

// A block of `count` entries `stride` bytes apart in `layout`, entry i having identifier 100 + i.
std::vector<unsigned char> MakeBlock(const SysProcessLayout &layout, int count, uint32_t stride)
{
    std::vector<unsigned char> block(count * stride);
    for (int i = 0; i < count; ++i) {
        unsigned char *entry = &block[i * stride];
        const uint32_t next = i + 1 < count ? stride : 0, id = 100 + i;
        std::memcpy(entry, &next, sizeof next);
        std::memcpy(entry + layout.id, &id, sizeof id);
    }
    return block;
}

void CollectId(void *context, const SysProcessEntry &entry)
{
    static_cast<std::vector<uint32_t> *>(context)->push_back(entry.id);
}

std::vector<uint32_t> Walk(const std::vector<unsigned char> &block, size_t size,
                           const SysProcessLayout &layout)
{
    std::vector<unsigned char> copy(block.begin(), block.begin() + size); // exact, for bounds
    std::vector<uint32_t> ids;
    const size_t visited = WalkSysProcesses(copy.data(), copy.size(), layout, CollectId, &ids);
    EXPECT_EQ(visited, ids.size());
    return ids;
}

TEST(ProcessSnapshot, WalkReportsOnlyWholeEntriesAndEndsOnADamagedChain)
{
    ASSERT_EQ(nullptr, SysProcessLayoutFor(2));
    for (size_t width : {4, 8}) {
        SCOPED_TRACE(width);
        const SysProcessLayout &layout = *SysProcessLayoutFor(width);
        const uint32_t stride = layout.entrySize + 0x40; // one thread record after each
        std::vector<unsigned char> block = MakeBlock(layout, 3, stride);
        EXPECT_EQ((std::vector<uint32_t>{100, 101, 102}), Walk(block, block.size(), layout));
        // Cut inside the last entry's fields: the whole ones before it only.
        EXPECT_EQ((std::vector<uint32_t>{100, 101}),
                  Walk(block, 2 * stride + layout.entrySize - 1, layout));
        // An offset that does not pass the fields would overlap or loop: the walk ends there.
        const uint32_t back = layout.entrySize - 1;
        std::memcpy(&block[stride], &back, sizeof back);
        EXPECT_EQ((std::vector<uint32_t>{100, 101}), Walk(block, block.size(), layout));
        // An offset beyond the block ends it too, without reading there.
        const uint32_t beyond = 0xFFFFFFF0u;
        std::memcpy(&block[0], &beyond, sizeof beyond);
        EXPECT_EQ((std::vector<uint32_t>{100}), Walk(block, block.size(), layout));
        EXPECT_EQ(0u, WalkSysProcesses(nullptr, 100, layout, CollectId, nullptr));
    }
}

void CollectSuspended(void *context, const SysProcessEntry &entry)
{
    static_cast<std::vector<bool> *>(context)->push_back(entry.threadsSuspended);
}

// Every thread waiting because it is suspended makes a suspended process; one thread doing
// anything else, no threads, or thread records cut off by the block's end do not.
TEST(ProcessSnapshot, ThreadRecordsTellASuspendedProcess)
{
    for (size_t width : {4, 8}) {
        SCOPED_TRACE(width);
        const SysProcessLayout &layout = *SysProcessLayoutFor(width);
        const uint32_t stride = layout.threadsStart + 2 * layout.threadSize;
        std::vector<unsigned char> block = MakeBlock(layout, 4, stride);
        const uint32_t counts[] = {2, 2, 0, 2}, suspendedReason = 5;
        for (int i = 0; i < 4; ++i) {
            unsigned char *entry = &block[i * stride];
            std::memcpy(entry + layout.threadCount, &counts[i], 4);
            for (uint32_t t = 0; t < 2; ++t) {
                unsigned char *thread = entry + layout.threadsStart + t * layout.threadSize;
                const uint32_t state = (i == 1 && t == 1) ? 2 : 5; // running, else waiting
                std::memcpy(thread + layout.threadState, &state, 4);
                std::memcpy(thread + layout.waitReason, &suspendedReason, 4);
            }
        }
        std::vector<bool> suspended;
        WalkSysProcesses(block.data(), block.size(), layout, CollectSuspended, &suspended);
        EXPECT_EQ((std::vector<bool>{true, false, false, true}), suspended);
        suspended.clear();
        WalkSysProcesses(block.data(), block.size() - 1, layout, CollectSuspended, &suspended);
        EXPECT_EQ((std::vector<bool>{true, false, false, false}), suspended);
    }
}

} // namespace

// ---- The handle table ---------------------------------------------------------------------

namespace {

// The tables as the system's headers lay them out, in either pointer width.
template <class Pointer> struct ExtendedHandle {
    Pointer object, processId, handle;
    uint32_t access;
    uint16_t creatorBackTrace, typeIndex;
    uint32_t attributes, reserved;
};
template <class Pointer> struct OlderHandle {
    uint16_t processId, creatorBackTrace;
    uint8_t typeIndex, attributes;
    uint16_t handle;
    Pointer object;
    uint32_t access;
};

// A table of `count` handles of processes 100, 101, ... whose head claims `claimed` entries.
template <class Pointer, template <class> class Entry>
std::vector<unsigned char> MakeHandleTable(uint32_t count, uint64_t claimed)
{
    const size_t head = std::is_same<Entry<Pointer>, ExtendedHandle<Pointer>>::value
                            ? 2 * sizeof(Pointer)
                            : alignof(Entry<Pointer>) > 4 ? alignof(Entry<Pointer>) : 4;
    std::vector<unsigned char> table(head + count * sizeof(Entry<Pointer>));
    std::memcpy(table.data(), &claimed, head < 8 ? 4 : sizeof(Pointer) < 8 ? 4 : 8);
    for (uint32_t i = 0; i < count; ++i) {
        Entry<Pointer> entry = {};
        entry.processId = static_cast<decltype(entry.processId)>(100 + i);
        entry.handle = static_cast<decltype(entry.handle)>(0x40 + 4 * i);
        entry.object = static_cast<Pointer>(0x7F001000u + i);
        entry.access = 0x1F0003;
        entry.typeIndex = static_cast<decltype(entry.typeIndex)>(30 + i);
        std::memcpy(&table[head + i * sizeof entry], &entry, sizeof entry);
    }
    return table;
}

void CollectHandle(void *context, const HandleEntry &entry)
{
    static_cast<std::vector<HandleEntry> *>(context)->push_back(entry);
}

template <class Pointer, template <class> class Entry>
void CheckHandleWalk(HandleTableKind kind)
{
    SCOPED_TRACE(testing::Message() << "kind " << kind << ", width " << sizeof(Pointer));
    const HandleTableLayout &layout = *HandleTableLayoutFor(kind, sizeof(Pointer));
    ASSERT_EQ(sizeof(Entry<Pointer>), layout.entrySize);
    const std::vector<unsigned char> table = MakeHandleTable<Pointer, Entry>(3, 3);
    std::vector<HandleEntry> seen;
    EXPECT_EQ(3u, WalkHandleTable(table.data(), table.size(), layout, CollectHandle, &seen));
    ASSERT_EQ(3u, seen.size());
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(100 + i, seen[i].processId);
        EXPECT_EQ(0x40u + 4 * i, seen[i].handle);
        EXPECT_EQ(0x7F001000u + i, seen[i].object);
        EXPECT_EQ(0x1F0003u, seen[i].access);
        EXPECT_EQ(30 + i, seen[i].typeIndex);
    }
    // A count that claims more than the bytes hold, or bytes cut inside an entry: whole entries
    // only. No bytes, or fewer than the head: nothing.
    const std::vector<unsigned char> boastful = MakeHandleTable<Pointer, Entry>(3, 100000);
    EXPECT_EQ(3u, HandleTableCount(boastful.data(), boastful.size(), layout));
    EXPECT_EQ(2u, HandleTableCount(table.data(), table.size() - 1, layout));
    EXPECT_EQ(0u, HandleTableCount(table.data(), layout.headSize - 1, layout));
    EXPECT_EQ(0u, WalkHandleTable(nullptr, 100, layout, CollectHandle, &seen));
}

TEST(HandleTable, WalkReadsBothClassesInBothWidthsAndOnlyWholeEntries)
{
    CheckHandleWalk<uint32_t, ExtendedHandle>(HandleTableExtended);
    CheckHandleWalk<uint64_t, ExtendedHandle>(HandleTableExtended);
    CheckHandleWalk<uint32_t, OlderHandle>(HandleTableLegacy);
    CheckHandleWalk<uint64_t, OlderHandle>(HandleTableLegacy);
    EXPECT_EQ(nullptr, HandleTableLayoutFor(HandleTableExtended, 2));
}

TEST(HandleTable, DevicePathsBecomeDriveLetters)
{
    const DriveDevice drives[] = {
        {'C', "\\Device\\HarddiskVolume1"},
        {'D', "\\Device\\HarddiskVolume10"},
        {'Z', "\\??\\unix"},
    };
    const struct {
        const char *path;
        size_t size;
        const char *expected;
    } cases[] = {
        {"\\??\\C:\\windows\\win.ini", 260, "C:\\windows\\win.ini"}, // Wine
        {"\\Device\\HarddiskVolume1\\dir\\a.txt", 260, "C:\\dir\\a.txt"},
        {"\\Device\\HarddiskVolume10\\a.txt", 260, "D:\\a.txt"}, // not volume 1's
        {"\\Device\\HarddiskVolume1", 260, "C:"},
        {"\\Device\\HarddiskVolume11\\a.txt", 260, "\\Device\\HarddiskVolume11\\a.txt"},
        {"\\Device\\NamedPipe\\x", 260, "\\Device\\NamedPipe\\x"},
        {"\\??\\unix\\tmp", 260, "Z:\\tmp"},
        {"\\??\\pipe", 260, "\\??\\pipe"},
        {"\\\\?\\e:\\x", 260, "e:\\x"},
        {"", 260, ""},
        {"\\Device\\HarddiskVolume1\\dir\\a.txt", 6, "C:\\di"}, // cut to fit
        {"\\??\\C:\\windows", 1, ""},
    };
    for (const auto &c : cases) {
        char out[260];
        MapDevicePath(c.path, drives, 3, out, c.size);
        EXPECT_STREQ(c.expected, out) << c.path << " in " << c.size;
    }
}

// A child that holds a file open: the reader names the file with its drive letter, the search
// core finds it by part of its name in any case, and a process it cannot open says so.
TEST(HandleTable, AChildsOpenFileIsReadAndFound)
{
    ASSERT_TRUE(kvtest::PrepareViews());
    char folder[MAX_PATH], path[MAX_PATH];
    ASSERT_TRUE(GetTempPathA(MAX_PATH, folder));
    std::snprintf(path, sizeof path, "%skv-held-%lu.txt", folder, GetCurrentProcessId());
    const std::string arguments = std::string("--hold \"") + path + "\"";
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvholder.exe", arguments.c_str(), true));
    std::string line;
    ASSERT_TRUE(child.ReadLine(&line));
    ASSERT_EQ("held yes", line);

    HandleSnapshot snapshot;
    ASSERT_TRUE(TakeHandleSnapshot(&snapshot));
    struct Seen {
        std::vector<std::string> files;
        std::vector<std::string> types;
    } seen;
    const HandleCallback collect = [](void *user, const HandleInfo &info) {
        Seen &seen = *static_cast<Seen *>(user);
        seen.types.push_back(info.type);
        if (!std::strcmp(info.type, "File"))
            seen.files.push_back(info.name);
    };
    ASSERT_EQ(HandlesRead, ReadProcessHandles(snapshot, child.Id(), collect, &seen));
    EXPECT_NE(seen.files.end(), std::find_if(seen.files.begin(), seen.files.end(),
                                             [&](const std::string &name) {
                                                 return !lstrcmpiA(name.c_str(), path);
                                             }));

    char part[64];
    std::snprintf(part, sizeof part, "KV-HELD-%lu", GetCurrentProcessId());
    SearchText search;
    ASSERT_TRUE(PrepareSearchText(part, &search));
    struct Found {
        std::vector<DWORD> ids;
        std::vector<std::string> types;
    } found;
    SearchProcess(&snapshot, child.Id(), search, [](void *user, const SearchHit &hit) {
        Found &found = *static_cast<Found *>(user);
        found.ids.push_back(hit.processId);
        found.types.push_back(hit.type ? hit.type : "DLL");
    }, &found);
    EXPECT_EQ(std::vector<DWORD>{child.Id()}, found.ids);
    EXPECT_EQ(std::vector<std::string>{"File"}, found.types);

    // Its modules are searched too; an empty text matches nothing.
    PrepareSearchText("NTDLL.dll", &search);
    found = Found();
    SearchProcess(&snapshot, child.Id(), search, [](void *user, const SearchHit &hit) {
        static_cast<Found *>(user)->types.push_back(hit.type ? hit.type : "DLL");
    }, &found);
    EXPECT_NE(found.types.end(), std::find(found.types.begin(), found.types.end(), "DLL"));
    FreeSearchText(&search);
    EXPECT_FALSE(PrepareSearchText("", &search));
    EXPECT_FALSE(MatchesSearch(search, "anything"));
    EXPECT_EQ(HandlesDenied, ReadProcessHandles(snapshot, 0xFFFFFFF0u, collect, &seen));
}

} // namespace
