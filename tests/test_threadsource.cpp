// The NT thread reader end to end: a real child's threads with their real priorities, and the
// choice between the registry's block and the block built from ToolHelp32 (with a fake
// registry, since the host's performance data has no Thread object).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fixtures.h"
#include "providers/perfdata.h"
#include "providers/provider.h"
#include "providers/threadblock.h"

namespace {

struct ThreadLines {
    std::set<std::string> Fill(DWORD processId, bool hex, BOOL *result = nullptr) const
    {
        ListLines lines;
        const BOOL found = ListPerfThreads(processId, hex, &lines);
        if (result)
            *result = found;
        const std::vector<std::string> texts = kvtest::LineTexts(lines);
        return std::set<std::string>(texts.begin(), texts.end());
    }
};

std::string Line(DWORD id, bool hex, int priority, const char *name)
{
    char line[MAX_PATH];
    std::snprintf(line, sizeof line, hex ? "%08lx\t%d %s" : "%lu\t%d %s",
                  static_cast<unsigned long>(id), priority, name);
    return line;
}

} // namespace

TEST(ThreadSource, ListsEveryThreadOfAChildWithItsPriority)
{
    struct Setting {
        int relative, inNormalClass, inIdleClass;
        const char *name;
    };
    const Setting settings[] = {
        {-2, 6, 2, "(Lowest)"},  {-1, 7, 3, "(Below Normal)"}, {0, 8, 4, "(Normal)"},
        {1, 9, 5, "(Above Normal)"}, {2, 10, 6, "(Highest)"},  {15, 15, 15, "(Time Critical)"},
        {-15, 1, 1, "(Idle)"},
    };
    ASSERT_TRUE(BindNtProvider(g_systemExports)); // the substitute's ToolHelp32 and OpenThread
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvtest_threads.exe", "--threads -2,-1,0,1,2,15,-15", true));
    std::vector<DWORD> ids;
    for (const Setting &setting : settings) {
        std::string text;
        ASSERT_TRUE(child.ReadLine(&text));
        unsigned long id = 0;
        int relative = 0;
        ASSERT_EQ(std::sscanf(text.c_str(), "thread %lu %d", &id, &relative), 2) << text;
        ASSERT_EQ(relative, setting.relative);
        ids.push_back(id);
    }

    ThreadLines list;
    for (DWORD priorityClass : {NORMAL_PRIORITY_CLASS, IDLE_PRIORITY_CLASS}) {
        ASSERT_TRUE(SetPriorityClass(child.Handle(), priorityClass));
        for (bool hex : {false, true}) {
            BOOL found = FALSE;
            const std::set<std::string> lines = list.Fill(child.Id(), hex, &found);
            EXPECT_TRUE(found);
            EXPECT_GT(lines.size(), ids.size()); // and the main thread
            for (size_t i = 0; i < ids.size(); ++i) {
                const Setting &s = settings[i];
                const int priority =
                    priorityClass == NORMAL_PRIORITY_CLASS ? s.inNormalClass : s.inIdleClass;
                EXPECT_EQ(lines.count(Line(ids[i], hex, priority, s.name)), 1u)
                    << Line(ids[i], hex, priority, s.name);
            }
        }
    }
    EXPECT_TRUE(ListPerfThreads(child.Id(), false, nullptr));

    const DWORD ended = child.Id();
    ASSERT_TRUE(child.Kill());
    BOOL found = TRUE;
    EXPECT_TRUE(list.Fill(ended, false, &found).empty());
    EXPECT_FALSE(found);
}

namespace {

// A registry stand-in: a name table, and one block handed out for every data query.
struct FakeRegistry {
    std::string nameTable;
    std::vector<uint8_t> block;
    DWORD claimed = 0; // when not 0, the size of a reply that is never handed out
    std::vector<DWORD> offered; // buffer sizes of the data queries
    std::string valueName;
    int closes = 0;
};
FakeRegistry g_fake;

LONG FakeQuery(const char *valueName, BYTE *data, DWORD *bytes)
{
    const bool names = std::strcmp(valueName, "Counter 009") == 0;
    size_t size = names ? g_fake.nameTable.size() : g_fake.block.size();
    if (!names) {
        if (g_fake.claimed)
            size = g_fake.claimed;
        g_fake.offered.push_back(*bytes);
        g_fake.valueName = valueName;
    }
    if (data && *bytes < size)
        return ERROR_MORE_DATA;
    if (data)
        std::memcpy(data, names ? g_fake.nameTable.data()
                                : reinterpret_cast<const char *>(g_fake.block.data()), size);
    *bytes = static_cast<DWORD>(size);
    return ERROR_SUCCESS;
}

void FakeClose()
{
    ++g_fake.closes;
}

const PerfTitles kFakeTitles = {30, 32, 84, 80, 94, 82};

class ThreadSourceFake : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BindNtProvider(g_systemExports));
        static const char kNameTable[] = "30\0Process\0" "32\0Thread\0" "84\0ID Process\0"
                                         "80\0ID Thread\0" "94\0Priority Current\0"
                                         "82\0Priority Base\0";
        g_fake = FakeRegistry();
        g_fake.nameTable.assign(kNameTable, sizeof kNameTable);
        g_perfDataSource = {FakeQuery, FakeClose}; // its name table is read at the next use
    }
    void TearDown() override { g_perfDataSource = g_registryPerfData; }
};

DWORD WINAPI WaitForEvent(LPVOID event)
{
    return WaitForSingleObject(event, INFINITE);
}

// This process's threads as a block, taken while one more thread ran, which has ended since:
// only a block taken earlier can show that thread.
std::vector<uint8_t> BlockWithEndedThread(const PerfTitles &titles, DWORD *ended)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForEvent, event, 0, ended);
    size_t size = 0;
    uint8_t *data = static_cast<uint8_t *>(BuildThreadBlock(GetCurrentProcessId(), titles, &size));
    std::vector<uint8_t> block(data, data + size);
    std::free(data);
    SetEvent(event);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
    return block;
}

} // namespace

TEST_F(ThreadSourceFake, RegistryBlockIsUsedWhenItHasTheThreadObject)
{
    DWORD ended = 0;
    g_fake.block = BlockWithEndedThread(kFakeTitles, &ended);
    g_fake.block.resize(40000); // needs three tries to fit
    ThreadLines list;
    const std::set<std::string> lines = list.Fill(GetCurrentProcessId(), false);
    EXPECT_EQ(lines.count(Line(ended, false, 8, "(Normal)")), 1u);
    EXPECT_EQ(g_fake.valueName, "30 32");
    EXPECT_EQ(g_fake.offered, (std::vector<DWORD>{16384, 32768, 65536}));
    EXPECT_EQ(g_fake.closes, 2); // after the name table, after the data

    // A block without the Thread object (what the host gives) leaves it to ToolHelp32.
    PerfTitles otherThread = kFakeTitles;
    otherThread.threadObject = 33;
    g_fake.block = BlockWithEndedThread(otherThread, &ended);
    const std::set<std::string> now = list.Fill(GetCurrentProcessId(), false);
    EXPECT_EQ(now.count(Line(ended, false, 8, "(Normal)")), 0u);
    EXPECT_EQ(now.count(Line(GetCurrentThreadId(), false, 8, "(Normal)")), 1u);
}

TEST_F(ThreadSourceFake, ReplyThatNeverFitsOrIsNotPerfDataGivesNoBlock)
{
    size_t size = 1;
    g_fake.claimed = 200u << 20; // more than the reader will ever offer
    EXPECT_EQ(QueryPerfData("32", &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(g_fake.offered.size(), 13u);
    EXPECT_EQ(g_fake.offered.back(), 64u << 20);

    g_fake.claimed = 0;
    g_fake.block.assign(1000, 'Q');
    EXPECT_EQ(QueryPerfData("32", &size), nullptr);
}
