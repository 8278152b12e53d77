// The figures of every process from the system's process query: the real query against a child
// of known shape, and the walk over damaged blocks in both layouts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "fixtures.h"
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
