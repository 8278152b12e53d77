// The NT thread reader end to end: a real child's threads with their real priorities, and the
// choice between the registry's block and the block built from ToolHelp32 (with a fake
// registry, since the host's performance data has no Thread object).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fixtures.h"
#include "providers/perfdata.h"

namespace {

struct ListBox {
    HWND window = CreateWindowA("LISTBOX", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ~ListBox() { DestroyWindow(window); }

    std::set<std::string> Fill(DWORD processId, bool hex, BOOL *result = nullptr) const
    {
        SendMessageA(window, LB_RESETCONTENT, 0, 0);
        const BOOL found = ListPerfThreads(window, processId, hex);
        if (result)
            *result = found;
        std::set<std::string> lines;
        char line[MAX_PATH];
        const int count = static_cast<int>(SendMessageA(window, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (SendMessageA(window, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line)) != LB_ERR)
                lines.insert(line);
        return lines;
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

    ListBox list;
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
    EXPECT_TRUE(ListPerfThreads(nullptr, child.Id(), false));

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
        std::memcpy(data, names ? static_cast<const void *>(g_fake.nameTable.data())
                                : g_fake.block.data(), size);
    *bytes = static_cast<DWORD>(size);
    return ERROR_SUCCESS;
}

void FakeClose()
{
    ++g_fake.closes;
}

// One Thread object with one instance, padded to `size` bytes.
std::vector<uint8_t> ThreadBlock(uint32_t processId, uint32_t threadId, uint32_t priority,
                                 size_t size)
{
    const uint32_t counters[] = {84, 80, 94, 82}; // as in the fake name table
    const uint32_t values[] = {4 + 4 * 4, processId, threadId, priority, priority};
    std::vector<uint8_t> b(size);
    PerfDataBlock header = {};
    std::memcpy(header.Signature, "P\0E\0R\0F\0", 8);
    header.HeaderLength = sizeof header;
    header.NumObjectTypes = 1;
    PerfObjectType object = {};
    object.HeaderLength = sizeof object;
    object.DefinitionLength = sizeof object + 4 * sizeof(PerfCounterDefinition);
    object.TotalByteLength = object.DefinitionLength + sizeof(PerfInstanceDefinition) + sizeof values;
    object.ObjectNameTitleIndex = 32;
    object.NumCounters = 4;
    object.NumInstances = 1;
    uint8_t *at = b.data();
    std::memcpy(at, &header, sizeof header);
    std::memcpy(at += sizeof header, &object, sizeof object);
    at += sizeof object;
    for (size_t i = 0; i < 4; ++i, at += sizeof(PerfCounterDefinition)) {
        PerfCounterDefinition counter = {};
        counter.ByteLength = sizeof counter;
        counter.CounterNameTitleIndex = counters[i];
        counter.CounterOffset = static_cast<uint32_t>(4 + 4 * i);
        std::memcpy(at, &counter, sizeof counter);
    }
    PerfInstanceDefinition instance = {};
    instance.ByteLength = sizeof instance;
    std::memcpy(at, &instance, sizeof instance);
    std::memcpy(at + sizeof instance, values, sizeof values);
    return b;
}

class ThreadSourceFake : public testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeRegistry();
        static const char kNameTable[] = "30\0Process\0" "32\0Thread\0" "84\0ID Process\0"
                                         "80\0ID Thread\0" "94\0Priority Current\0"
                                         "82\0Priority Base\0";
        g_fake.nameTable.assign(kNameTable, sizeof kNameTable);
        g_perfDataSource = {FakeQuery, FakeClose};
        ForgetPerfTitles();
    }
    void TearDown() override
    {
        g_perfDataSource = g_registryPerfData;
        ForgetPerfTitles();
    }
};

} // namespace

TEST_F(ThreadSourceFake, RegistryBlockWithThreadsIsUsedAndGrowsToFit)
{
    // No such process exists (identifiers are multiples of 4), so only the fake can list it.
    g_fake.block = ThreadBlock(0xFFFFFFF1u, 77, 15, 40000);
    ListBox list;
    EXPECT_EQ(list.Fill(0xFFFFFFF1u, false), std::set<std::string>{"77\t15 (Time Critical)"});
    EXPECT_EQ(g_fake.valueName, "30 32");
    EXPECT_EQ(g_fake.offered, (std::vector<DWORD>{16384, 32768, 65536}));
    EXPECT_EQ(g_fake.closes, 2); // after the name table, after the data
}

TEST_F(ThreadSourceFake, BlockWithoutThreadsFallsBackToToolhelp)
{
    g_fake.block = ThreadBlock(GetCurrentProcessId(), 77, 8, 1000);
    std::memset(&g_fake.block[sizeof(PerfDataBlock) + offsetof(PerfObjectType, ObjectNameTitleIndex)],
                0x33, 1); // the host's kind of reply: an object, but no Thread object
    ListBox list;
    const std::set<std::string> lines = list.Fill(GetCurrentProcessId(), false);
    EXPECT_EQ(lines.count(Line(77, false, 8, "(Normal)")), 0u);
    EXPECT_EQ(lines.count(Line(GetCurrentThreadId(), false, 8, "(Normal)")), 1u);
}

TEST_F(ThreadSourceFake, ReplyThatNeverFitsOrIsNotPerfDataGivesNoBlock)
{
    size_t size = 1;
    g_fake.claimed = 200u << 20; // more than the reader will ever offer
    EXPECT_EQ(QueryPerfData("32", &size), nullptr);
    EXPECT_EQ(size, 0u);
    ASSERT_FALSE(g_fake.offered.empty());
    EXPECT_EQ(g_fake.offered.back(), 64u << 20);
    EXPECT_EQ(g_fake.offered.size(), 13u);

    g_fake.claimed = 0;
    g_fake.block = ThreadBlock(4, 77, 8, 1000);
    g_fake.block[0] = 'Q';
    EXPECT_EQ(QueryPerfData("32", &size), nullptr);
}
