// The Windows 9x provider against a scripted ToolHelp32 that shows what Wine cannot (16-bit
// programs, heaps, module ids that match), and once against the real walks of this process.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/processlist.h"
#include "core/settings.h"
#include "fixtures.h"
#include "providers/neheader.h"
#include "providers/provider9x.h"

namespace {

struct FakeToolhelp {
    std::vector<PROCESSENTRY32> processes;
    std::vector<MODULEENTRY32> modules;
    std::vector<THREADENTRY32> threads;
    std::vector<HEAPLIST32> heaps;
    std::map<ULONG_PTR, std::vector<HEAPENTRY32>> blocks; // by heap id
    DWORD failingKinds = 0;
    std::vector<DWORD> taken;    // kind of every snapshot asked for
    std::vector<HANDLE> handles; // every snapshot handed out; all must end up closed
    std::map<HANDLE, std::pair<DWORD, size_t>> cursors; // process id, next entry
    const std::vector<HEAPENTRY32> *walked = nullptr;
    size_t nextBlock = 0;
} *g_fake;

HANDLE WINAPI FakeSnapshot(DWORD kind, DWORD processId)
{
    g_fake->taken.push_back(kind);
    if (kind & g_fake->failingKinds)
        return INVALID_HANDLE_VALUE;
    HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_fake->handles.push_back(handle);
    g_fake->cursors[handle] = {processId, 0};
    return handle;
}

bool Owned(const PROCESSENTRY32 &, DWORD) { return true; }
bool Owned(const THREADENTRY32 &, DWORD) { return true; } // a thread snapshot holds them all
bool Owned(const MODULEENTRY32 &entry, DWORD processId) { return entry.th32ProcessID == processId; }
bool Owned(const HEAPLIST32 &entry, DWORD processId) { return entry.th32ProcessID == processId; }

// One step of a walk over `All`, keeping the entries of the snapshot's process.
template <typename Entry, std::vector<Entry> FakeToolhelp::*All, bool First>
BOOL WINAPI FakeWalk(HANDLE snapshot, Entry *entry)
{
    auto cursor = g_fake->cursors.find(snapshot);
    if (cursor == g_fake->cursors.end() || entry->dwSize != sizeof(Entry))
        return FALSE;
    size_t &next = cursor->second.second;
    if (First)
        next = 0;
    const std::vector<Entry> &all = g_fake->*All;
    while (next < all.size()) {
        const Entry &candidate = all[next++];
        if (Owned(candidate, cursor->second.first)) {
            *entry = candidate;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL WINAPI FakeHeapNext(HEAPENTRY32 *entry)
{
    if (!g_fake->walked || entry->dwSize != sizeof *entry ||
        g_fake->nextBlock >= g_fake->walked->size())
        return FALSE;
    *entry = (*g_fake->walked)[g_fake->nextBlock++];
    return TRUE;
}

BOOL WINAPI FakeHeapFirst(HEAPENTRY32 *entry, DWORD processId, ULONG_PTR heapId)
{
    g_fake->walked = nullptr;
    g_fake->nextBlock = 0;
    for (const HEAPLIST32 &heap : g_fake->heaps)
        if (heap.th32ProcessID == processId && heap.th32HeapID == heapId)
            g_fake->walked = &g_fake->blocks[heapId];
    return FakeHeapNext(entry);
}

using F = FakeToolhelp;
const ToolhelpApi kFakeApi = {
    FakeSnapshot,
    FakeWalk<MODULEENTRY32, &F::modules, true>,
    FakeWalk<MODULEENTRY32, &F::modules, false>,
    FakeWalk<PROCESSENTRY32, &F::processes, true>,
    FakeWalk<PROCESSENTRY32, &F::processes, false>,
    FakeWalk<THREADENTRY32, &F::threads, true>,
    FakeWalk<THREADENTRY32, &F::threads, false>,
    FakeWalk<HEAPLIST32, &F::heaps, true>,
    FakeWalk<HEAPLIST32, &F::heaps, false>,
    FakeHeapFirst,
    FakeHeapNext,
};

const DWORD kPid = 0x7F000010; // far above the identifiers Wine hands out: never opened for real

template <typename Entry> Entry Zeroed()
{
    Entry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    return entry;
}

PROCESSENTRY32 Process(DWORD id, DWORD moduleId, const std::string &exeFile)
{
    PROCESSENTRY32 entry = Zeroed<PROCESSENTRY32>();
    entry.th32ProcessID = id;
    entry.th32ModuleID = moduleId;
    entry.th32ParentProcessID = 4;
    entry.cntThreads = 3;
    entry.pcPriClassBase = 8;
    lstrcpynA(entry.szExeFile, exeFile.c_str(), MAX_PATH);
    return entry;
}

MODULEENTRY32 Module(DWORD processId, DWORD moduleId, const char *name, const char *path,
                     ULONG_PTR base = 0x400000)
{
    MODULEENTRY32 entry = Zeroed<MODULEENTRY32>();
    entry.th32ProcessID = processId;
    entry.th32ModuleID = moduleId;
    entry.modBaseAddr = reinterpret_cast<BYTE *>(base);
    entry.modBaseSize = 0x2000;
    lstrcpynA(entry.szModule, name, sizeof entry.szModule);
    lstrcpynA(entry.szExePath, path, MAX_PATH);
    return entry;
}

THREADENTRY32 Thread(DWORD id, DWORD owner, LONG base, LONG delta)
{
    THREADENTRY32 entry = Zeroed<THREADENTRY32>();
    entry.th32ThreadID = id;
    entry.th32OwnerProcessID = owner;
    entry.tpBasePri = base;
    entry.tpDeltaPri = delta;
    return entry;
}

void AddHeap(FakeToolhelp &fake, DWORD processId, ULONG_PTR id, DWORD flags,
             const std::vector<std::pair<SIZE_T, DWORD>> &blocks)
{
    HEAPLIST32 heap = Zeroed<HEAPLIST32>();
    heap.th32ProcessID = processId;
    heap.th32HeapID = id;
    heap.dwFlags = flags;
    fake.heaps.push_back(heap);
    ULONG_PTR address = id + 16;
    for (const auto &block : blocks) {
        HEAPENTRY32 entry = Zeroed<HEAPENTRY32>();
        entry.dwAddress = address;
        entry.dwBlockSize = block.first;
        entry.dwFlags = block.second;
        fake.blocks[id].push_back(entry);
        address += 0x100;
    }
}

// An address printed as the program prints addresses: as wide as a pointer.
std::string Address(ULONG_PTR value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*llx", static_cast<int>(2 * sizeof value),
                  static_cast<unsigned long long>(value));
    return text;
}

// DOS header, new header with `signature`, and a resident-name table naming `name` first.
std::string NeImage(const std::string &name, const char *signature = "NE")
{
    std::string image(0x70, '\0');
    image.replace(0, 2, "MZ");
    image[0x3C] = 0x40;
    image.replace(0x40, 2, signature);
    image[0x40 + 0x26] = 0x30; // resident names at 0x70
    return image + static_cast<char>(name.size()) + name + '\0';
}

bool ParseName(const std::string &image, char *name, size_t nameSize)
{
    std::vector<unsigned char> exact(image.begin(), image.end()); // no slack after the image
    return ReadNeModuleNameFromImage(exact.data(), exact.size(), name, nameSize);
}

struct ModuleSeen {
    std::string name;
    ULONG_PTR base;
    SIZE_T size;
    std::string path;
};

void CollectModule(void *user, const char *name, ULONG_PTR base, SIZE_T size, const char *path)
{
    static_cast<std::vector<ModuleSeen> *>(user)->push_back({name, base, size, path});
}

class Provider9x : public testing::Test {
protected:
    // One reading of the processes, merged record by record into the table.
    static bool ReadProcessesIntoTable()
    {
        std::vector<ProcessRecord> reading;
        const bool walked = W9xReadProcesses(&reading);
        for (const ProcessRecord &record : reading)
            AddOrUpdateProcess(&record);
        return walked;
    }

    void SetUp() override
    {
        savedApi_ = g_toolhelpApi;
        savedHex_ = g_settings.hexProcessId;
        for (ProcessRecord *r = g_recordHead; r; r = r->next)
            oldRecords_.insert(r);
        g_fake = &fake_;
        g_toolhelpApi = kFakeApi;
        InitCommonControls();
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
        list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 400, 300,
                                parent_, reinterpret_cast<HMENU>(kProcessListId), nullptr, nullptr);
    }

    void TearDown() override
    {
        // Checked only on success: reporting a failure may itself reuse closed handle values.
        DWORD flags;
        for (HANDLE handle : fake_.handles)
            EXPECT_TRUE(HasFailure() || !GetHandleInformation(handle, &flags))
                << "a snapshot was left open";
        DestroyWindow(parent_);
        for (ProcessRecord *r = g_recordHead, *next; r; r = next) {
            next = r->next;
            if (!oldRecords_.count(r))
                FreeRecord(r);
        }
        for (const std::string &file : files_)
            DeleteFileA(file.c_str());
        g_toolhelpApi = savedApi_;
        g_settings.hexProcessId = savedHex_;
        g_fake = nullptr;
    }

    // The texts of the lines listed so far, which are then forgotten.
    std::vector<std::string> TakeLines()
    {
        const std::vector<std::string> texts = kvtest::LineTexts(lines_);
        lines_ = ListLines();
        return texts;
    }

    std::vector<ULONG_PTR> KeptValues() const
    {
        std::vector<ULONG_PTR> values;
        for (size_t i = 0; i < lines_.Count(); ++i)
            values.push_back(lines_.Value(i));
        return values;
    }

    std::string TempFile(const std::string &contents)
    {
        char directory[MAX_PATH];
        char path[MAX_PATH];
        GetTempPathA(MAX_PATH, directory);
        GetTempFileNameA(directory, "k9x", 0, path);
        files_.push_back(path);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }

    FakeToolhelp fake_;
    HWND parent_ = nullptr;
    ListLines lines_;
    HWND list_ = nullptr;

private:
    ToolhelpApi savedApi_;
    bool savedHex_;
    std::set<ProcessRecord *> oldRecords_;
    std::vector<std::string> files_;
};

TEST(Provider9xNeHeader, ReadsModuleNameWithinBuffer)
{
    char name[MAX_PATH];
    ASSERT_TRUE(ParseName(NeImage("CLOCK"), name, sizeof name));
    EXPECT_STREQ("CLOCK", name);
    const std::string longest(255, 'N');
    ASSERT_TRUE(ParseName(NeImage(longest), name, sizeof name));
    EXPECT_EQ(longest, name);
    ASSERT_TRUE(ParseName(NeImage(longest), name, 8));
    EXPECT_STREQ("NNNNNNN", name);
}

TEST(Provider9xNeHeader, RejectsOtherImagesAndOffsetsOutsideTheImage)
{
    char name[MAX_PATH];
    EXPECT_FALSE(ParseName(NeImage("CLOCK", "PE"), name, sizeof name));
    EXPECT_FALSE(ParseName(NeImage(""), name, sizeof name));
    EXPECT_FALSE(ParseName(NeImage(std::string("\0CLOCK", 6)), name, sizeof name)); // empty too
    EXPECT_FALSE(ParseName("MZ" + std::string(0x3C, '\0'), name, sizeof name));
    const std::string good = NeImage("CLOCK");
    EXPECT_FALSE(ParseName(good.substr(0, good.size() - 2), name, sizeof name)); // name cut off
    std::string shortHeader = good + "NE"; // an NE header with nothing after its signature
    shortHeader[0x3C] = static_cast<char>(good.size());
    EXPECT_FALSE(ParseName(shortHeader, name, sizeof name));
    const std::pair<size_t, std::string> patches[] = {
        {0x3C, std::string("\xF0\xFF\xFF\xFF", 4)}, // new header wraps around
        {0x3C, "\x78"},                             // new header past the end
        {0x66, "\x40"},                             // resident names past the end
        {0x66, "\xFF\xFF"},
    };
    for (const auto &patch : patches) {
        std::string bad = good;
        bad.replace(patch.first, patch.second.size(), patch.second);
        EXPECT_FALSE(ParseName(bad, name, sizeof name)) << "patch at " << patch.first;
    }
}

TEST_F(Provider9x, ProcessRecordsFromSnapshot)
{
    const std::string clock = TempFile(NeImage("CLOCK"));
    const std::string pe = TempFile(NeImage("CLOCK", "PE"));
    fake_.processes = {
        Process(kPid, 7, "C:\\APPS\\EDITOR.EXE"),
        Process(kPid + 4, 9, "C:\\APPS\\GONE.EXE"), // its main module is not in the snapshot
        Process(kPid + 8, 5, clock),
        Process(kPid + 12, 5, pe),
        Process(kPid + 16, 0, "notepad.exe"), // NT-family style: bare name, no module id
    };
    fake_.modules = {
        Module(kPid, 3, "KERNEL32", "C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"),
        Module(kPid, 7, "EDITOR", "c:\\apps\\editor.exe"),
        Module(kPid + 4, 2, "GONE", "C:\\APPS\\GONE.EXE"),
        Module(kPid + 8, 5, "KRNL386", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE"),
        Module(kPid + 12, 5, "KRNL386", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE"),
        Module(kPid + 16, 1, "notepad.exe", "C:\\windows\\notepad.exe"),
        Module(kPid + 16, 1, "ntdll.dll", "C:\\windows\\system32\\ntdll.dll"),
    };
    EXPECT_TRUE(ReadProcessesIntoTable());

    const ProcessRecord *editor = FindProcessRecord(kPid, KindProcess);
    ASSERT_NE(nullptr, editor);
    EXPECT_STREQ("EDITOR", editor->name);
    EXPECT_STREQ("C:\\APPS\\EDITOR.EXE", editor->path);
    EXPECT_EQ(4u, editor->parentId);
    EXPECT_EQ(3u, editor->threadCount);
    EXPECT_EQ(8, editor->basePriority);
    EXPECT_EQ(0u, editor->priorityClass); // could not be opened
    EXPECT_EQ(nullptr, FindProcessRecord(kPid + 4, KindProcess));
    EXPECT_EQ(nullptr, FindProcessRecord(kPid + 4, KindProcess16));
    const ProcessRecord *ne = FindProcessRecord(kPid + 8, KindProcess16);
    ASSERT_NE(nullptr, ne);
    EXPECT_STREQ("CLOCK", ne->name);
    EXPECT_EQ(clock, ne->path);
    const ProcessRecord *notNe = FindProcessRecord(kPid + 12, KindProcess16);
    ASSERT_NE(nullptr, notNe);
    EXPECT_STREQ("KRNL386", notNe->name);
    const ProcessRecord *bare = FindProcessRecord(kPid + 16, KindProcess);
    ASSERT_NE(nullptr, bare);
    EXPECT_STREQ("notepad.exe", bare->name);
    EXPECT_STREQ("C:\\windows\\notepad.exe", bare->path);

    // The next pass refreshes the counts of known processes without looking at their modules
    // again; only the process that was left out is looked up once more.
    fake_.processes[0].cntThreads = 5;
    fake_.taken.clear();
    EXPECT_TRUE(ReadProcessesIntoTable());
    EXPECT_EQ((std::vector<DWORD>{TH32CS_SNAPPROCESS, TH32CS_SNAPMODULE}), fake_.taken);
    EXPECT_EQ(5u, editor->threadCount);
}

TEST_F(Provider9x, ThreadLinesInDecimalAndHexadecimal)
{
    fake_.threads = {Thread(1234, kPid, 8, -2), Thread(99, kPid + 4, 8, 0), Thread(77, kPid, 8, 3),
                     Thread(0xABCDEF, kPid, 16, 15), Thread(5, kPid, 8, -15)};
    g_settings.hexProcessId = false;
    EXPECT_TRUE(W9xListThreads(kPid, &lines_));
    EXPECT_EQ((std::vector<ULONG_PTR>{1234, 77, 0xABCDEF, 5}), KeptValues());
    EXPECT_EQ((std::vector<std::string>{"00001234\t6 (Lowest)", "00000077\t11 ",
                                        "11259375\t31 (Time Critical)", "00000005\t-7 (Idle)"}),
              TakeLines());
    g_settings.hexProcessId = true;
    EXPECT_TRUE(W9xListThreads(kPid, &lines_));
    EXPECT_EQ((std::vector<std::string>{"000004d2\t6 (Lowest)", "0000004d\t11 ",
                                        "00abcdef\t31 (Time Critical)", "00000005\t-7 (Idle)"}),
              TakeLines());
}

TEST_F(Provider9x, ModulesOfTheProcessReachTheCallback)
{
    const ULONG_PTR high = static_cast<ULONG_PTR>(0x7FF612340000ull); // above 4 GB on 64-bit
    fake_.modules = {Module(kPid, 1, "EDITOR", "C:\\APPS\\EDITOR.EXE"),
                     Module(kPid + 4, 1, "OTHER", "C:\\OTHER.EXE"),
                     Module(kPid, 2, "KERNEL32", "C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", high)};
    std::vector<ModuleSeen> seen;
    EXPECT_TRUE(W9xEnumerateModules(kPid, CollectModule, &seen));
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("EDITOR", seen[0].name);
    EXPECT_EQ(0x400000u, seen[0].base);
    EXPECT_EQ(0x2000u, seen[0].size);
    EXPECT_EQ("KERNEL32", seen[1].name);
    EXPECT_EQ(high, seen[1].base);
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", seen[1].path);
}

TEST_F(Provider9x, HeapAndBlockLines)
{
    const ULONG_PTR high = static_cast<ULONG_PTR>(0x7FF612340000ull);
    AddHeap(fake_, kPid, 0x530000, HF32_DEFAULT,
            {{100, LF32_FIXED}, {123456, LF32_FREE}, {30, LF32_MOVEABLE}});
    AddHeap(fake_, kPid, high, HF32_SHARED, {{20, LF32_FREE}, {12, LF32_FREE}});
    AddHeap(fake_, kPid, 0x640000, 0, {{4096, LF32_FIXED}});
    AddHeap(fake_, kPid + 4, 0x750000, HF32_DEFAULT, {{8, LF32_FIXED}});
    W9xListHeaps(kPid, &lines_);
    EXPECT_EQ((std::vector<ULONG_PTR>{0x530000, high, 0x640000}), KeptValues());
    EXPECT_EQ((std::vector<std::string>{
                  Address(0x530000) + "\t  123586\t     130\t  123456\tDefault  ",
                  Address(high) + "\t      32\t       0\t      32\t Shared ",
                  Address(0x640000) + "\t    4096\t    4096\t       0\t  ",
              }),
              TakeLines());
    W9xListHeapBlocks(kPid, 0x530000, &lines_);
    EXPECT_EQ((std::vector<ULONG_PTR>{0x530010, 0x530110, 0x530210}), KeptValues());
    EXPECT_EQ((std::vector<std::string>{Address(0x530010) + "\t00000100\t",
                                        Address(0x530110) + "\t00123456\tFree",
                                        Address(0x530210) + "\t00000030\t"}),
              TakeLines());
}

TEST_F(Provider9x, FailedOrEmptySnapshotGivesNothing)
{
    fake_.processes = {Process(kPid, 1, "C:\\APPS\\EDITOR.EXE")};
    fake_.modules = {Module(kPid, 1, "EDITOR", "C:\\APPS\\EDITOR.EXE")};
    fake_.threads = {Thread(1234, kPid, 8, 0)};
    AddHeap(fake_, kPid, 0x530000, HF32_DEFAULT, {{100, LF32_FIXED}});
    std::vector<ModuleSeen> seen;
    for (DWORD failing : {DWORD(TH32CS_SNAPALL), DWORD(0)}) {
        if (!failing) { // snapshots that can be taken but hold nothing
            fake_ = FakeToolhelp();
            g_fake = &fake_;
        }
        fake_.failingKinds = failing;
        EXPECT_FALSE(ReadProcessesIntoTable());
        EXPECT_FALSE(W9xListThreads(kPid, &lines_));
        EXPECT_FALSE(W9xEnumerateModules(kPid, CollectModule, &seen));
        W9xListHeaps(kPid, &lines_);
        EXPECT_TRUE(TakeLines().empty());
        EXPECT_TRUE(seen.empty());
    }
}

// Wine has the real ToolHelp32 walks in either family; its heap walk must never be called.
TEST_F(Provider9x, RealToolhelpListsThisProcess)
{
    ASSERT_TRUE(Bind9xProvider(g_systemExports));
    const DWORD self = GetCurrentProcessId();
    char exePath[MAX_PATH];
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);

    g_settings.hexProcessId = false;
    ASSERT_TRUE(W9xListThreads(self, &lines_));
    char thread[32];
    std::snprintf(thread, sizeof thread, "%08lu\t", GetCurrentThreadId());
    bool threadFound = false;
    for (const std::string &line : TakeLines())
        threadFound = threadFound || line.compare(0, std::strlen(thread), thread) == 0;
    EXPECT_TRUE(threadFound) << thread;

    std::vector<ModuleSeen> seen;
    ASSERT_TRUE(W9xEnumerateModules(self, CollectModule, &seen));
    const ULONG_PTR exeBase = reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr));
    bool exeFound = false;
    for (const ModuleSeen &module : seen)
        exeFound = exeFound || (module.base == exeBase && module.size > 0 &&
                                lstrcmpiA(module.path.c_str(), exePath) == 0);
    EXPECT_TRUE(exeFound);

    ASSERT_TRUE(ReadProcessesIntoTable());
    const ProcessRecord *record = FindProcessRecord(self, KindProcess);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(0, lstrcmpiA(std::strrchr(exePath, '\\') + 1, record->name));
    EXPECT_EQ(0, lstrcmpiA(exePath, record->path));
    EXPECT_NE(0u, record->priorityClass);
}

} // namespace
