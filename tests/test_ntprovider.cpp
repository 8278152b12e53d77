// The NT provider with fakes in g_ntApi for what the host cannot show: processes that cannot be
// opened or read, 16-bit tasks, thousands of processes and modules, kernel-style module paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/figurecells.h"
#include "core/localtime.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "providers/fill.h"
#include "providers/ntprovider.h"
#include "providers/sysinfo.h"

namespace {

// Identifiers no process has under the test host.
const DWORD kNoSuchProcess = 0x40000000;

NtApi g_real;

struct FakeState {
    std::vector<DWORD> ids;
    bool enumFails = false;
    std::vector<DWORD> enumSizesGiven;
    int moduleCount = 0;
    const char *fileName = nullptr;
    int enumModulesCalls = 0;
    int baseNameCalls = 0;
    int queryCalls = 0;
    DWORD moduleFilter = 0;
    ULONGLONG startShift = 0;
    DWORD machineId = 0;
    bool machineRecordedFirst = false;
    DWORD terminatedMachine = 0;
    WORD terminatedTask = 0;
};
FakeState g_fake;

BOOL WINAPI FakeEnumProcesses(DWORD *ids, DWORD bytes, DWORD *returned)
{
    g_fake.enumSizesGiven.push_back(bytes);
    if (g_fake.enumFails)
        return FALSE;
    DWORD count = static_cast<DWORD>(g_fake.ids.size());
    if (count > bytes / sizeof(DWORD))
        count = bytes / sizeof(DWORD);
    std::memcpy(ids, g_fake.ids.data(), count * sizeof(DWORD));
    *returned = count * sizeof(DWORD);
    return TRUE;
}

HMODULE FakeModule(int index)
{
    return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(index + 1) << 16);
}

int FakeModuleIndex(HMODULE module)
{
    return static_cast<int>((reinterpret_cast<ULONG_PTR>(module) >> 16) - 1);
}

// Like the system: copies what fits and reports the room all the handles need.
BOOL WINAPI ManyEnumProcessModules(HANDLE, HMODULE *modules, DWORD bytes, DWORD *needed)
{
    for (int i = 0; i < g_fake.moduleCount && (i + 1) * sizeof(HMODULE) <= bytes; ++i)
        modules[i] = FakeModule(i);
    *needed = g_fake.moduleCount * sizeof(HMODULE);
    return TRUE;
}

BOOL WINAPI ManyEnumProcessModulesEx(HANDLE process, HMODULE *modules, DWORD bytes, DWORD *needed,
                                     DWORD filter)
{
    g_fake.moduleFilter = filter;
    return ManyEnumProcessModules(process, modules, bytes, needed);
}

DWORD WINAPI ManyBaseNames(HANDLE, HMODULE module, LPSTR name, DWORD size)
{
    return std::snprintf(name, size, "mod%d.dll", FakeModuleIndex(module));
}

DWORD WINAPI ManyFileNames(HANDLE, HMODULE module, LPSTR name, DWORD size)
{
    return std::snprintf(name, size, "\\??\\C:\\mods\\mod%d.dll", FakeModuleIndex(module));
}

BOOL WINAPI ManyModuleInformation(HANDLE, HMODULE module, ModuleInfo *info, DWORD)
{
    info->lpBaseOfDll = module;
    info->SizeOfImage = FakeModuleIndex(module) * 16;
    info->EntryPoint = nullptr;
    return TRUE;
}

// Reports g_fake.fileName as the system would: truncated to the buffer, 0 when absent.
DWORD WINAPI FakeFileName(HANDLE, HMODULE, LPSTR name, DWORD size)
{
    if (!g_fake.fileName)
        return 0;
    lstrcpynA(name, g_fake.fileName, size);
    return static_cast<DWORD>(std::strlen(name));
}

BOOL WINAPI CountingEnumProcessModules(HANDLE process, HMODULE *modules, DWORD bytes,
                                       DWORD *needed)
{
    ++g_fake.enumModulesCalls;
    return g_real.EnumProcessModules(process, modules, bytes, needed);
}

DWORD WINAPI CountingBaseName(HANDLE process, HMODULE module, LPSTR name, DWORD size)
{
    ++g_fake.baseNameCalls;
    return g_real.GetModuleBaseNameA(process, module, name, size);
}

// The system's process figures with every start time moved: each process looks like a new one
// that took over its identifier.
LONG WINAPI ShiftedStartTimes(int infoClass, PVOID info, ULONG size, PULONG returned)
{
    const LONG status = g_real.NtQuerySystemInformation(infoClass, info, size, returned);
    const SysProcessLayout &layout = *SysProcessLayoutFor(sizeof(void *));
    for (ULONG offset = 0, next = 1; status >= 0 && next && offset + layout.entrySize <= size;
         offset += next) {
        char *entry = static_cast<char *>(info) + offset;
        ULONGLONG start;
        std::memcpy(&start, entry + layout.createTime, sizeof start);
        start += g_fake.startShift;
        std::memcpy(entry + layout.createTime, &start, sizeof start);
        std::memcpy(&next, entry, sizeof next);
    }
    return status;
}

// One process's figures laid out as the system's process query returns them.
struct FakeFigures {
    DWORD id = 0;
    ULONGLONG start = 0, user = 0, kernel = 0, workingSet = 0, privateBytes = 0;
    DWORD threads = 0, handles = 0;
    bool fails = false;
} g_figures;

template <typename T> void Put(unsigned char *entry, DWORD offset, T value, size_t size = sizeof(T))
{
    std::memcpy(entry + offset, &value, size);
}

LONG WINAPI FakeProcessFigures(int, PVOID info, ULONG size, PULONG returned)
{
    const SysProcessLayout &layout = *SysProcessLayoutFor(sizeof(void *));
    if (g_figures.fails || size < layout.entrySize)
        return static_cast<LONG>(0xC0000001); // STATUS_UNSUCCESSFUL
    unsigned char *entry = static_cast<unsigned char *>(info);
    std::memset(entry, 0, layout.entrySize);
    Put(entry, layout.id, static_cast<ULONG_PTR>(g_figures.id));
    Put(entry, layout.createTime, g_figures.start);
    Put(entry, layout.userTime, g_figures.user);
    Put(entry, layout.kernelTime, g_figures.kernel);
    Put(entry, layout.workingSet, static_cast<SIZE_T>(g_figures.workingSet));
    Put(entry, layout.privateBytes, static_cast<SIZE_T>(g_figures.privateBytes));
    Put(entry, layout.threadCount, g_figures.threads);
    Put(entry, layout.handleCount, g_figures.handles);
    *returned = layout.entrySize;
    return 0;
}

LONG WINAPI CountingQuery(HANDLE process, int infoClass, PVOID info, ULONG size, PULONG returned)
{
    ++g_fake.queryCalls;
    return g_real.NtQueryInformationProcess(process, infoClass, info, size, returned);
}

BOOL WINAPI FakeTask(TaskEnumProcEx callback, LPARAM user, DWORD thread, WORD task,
                     const char *module, const char *file)
{
    return callback(thread, 0x77, task, const_cast<PSZ>(module), const_cast<PSZ>(file), user);
}

INT WINAPI FakeEnumTasks(DWORD processId, TaskEnumProcEx callback, LPARAM user)
{
    if (processId != g_fake.machineId)
        return 0;
    FakeTask(callback, user, 701, 0x1234, "APP", "C:\\WIN\\APP.EXE");
    FakeTask(callback, user, 702, 0x1240, "NOPATH", "NOPATH.EXE");
    return 2;
}

INT WINAPI FakeEnumMachines(ProcessEnumProc callback, LPARAM user)
{
    // The machine is read before its tasks, so each task sorts beside it once merged.
    const auto *reading = reinterpret_cast<const std::vector<ProcessRecord> *>(user);
    g_fake.machineRecordedFirst = std::any_of(
        reading->begin(), reading->end(),
        [](const ProcessRecord &record) { return record.id == g_fake.machineId; });
    callback(g_fake.machineId, 0, user);
    return 1;
}

BOOL WINAPI FakeTerminateTask(DWORD processId, WORD task16)
{
    g_fake.terminatedMachine = processId;
    g_fake.terminatedTask = task16;
    return TRUE;
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

void AddLine(void *lines, const char *name, ULONG_PTR base, SIZE_T, const char *)
{
    static_cast<ListLines *>(lines)->Add(name, base);
}

class NtProvider : public kvtest::ListTest {
protected:
    void SetUp() override
    {
        IsNt = true;
        ASSERT_TRUE(BindNtProvider(g_systemExports));
        g_real = g_ntApi;
        g_fake = FakeState();
        g_ntApi.EnumProcesses = FakeEnumProcesses;
        ASSERT_NO_FATAL_FAILURE(OpenList());
    }

    // The provider reports `count` made-up modules for any process.
    void FakeModules(int count)
    {
        g_fake.moduleCount = count;
        g_ntApi.EnumProcessModulesEx = ManyEnumProcessModulesEx;
        g_ntApi.EnumProcessModules = kvtest::FailingEnumProcessModules; // the extended call serves
        g_ntApi.GetModuleBaseNameA = ManyBaseNames;
        g_ntApi.GetModuleFileNameExA = ManyFileNames;
        g_ntApi.GetModuleInformation = ManyModuleInformation;
    }
};

TEST_F(NtProvider, ProcessesWithoutDetailsAreHiddenUntilTheyCanBeRead)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_hidden.exe"));
    g_fake.ids = {kNoSuchProcess, child.Id()};
    kvtest::HideProcessDetails();
    Pass();

    const ProcessRecord *denied = FindProcessRecord(kNoSuchProcess, KindProcess);
    ASSERT_TRUE(denied);
    EXPECT_STREQ("[Access denied]", denied->name);
    EXPECT_TRUE(denied->flags & RecordNoDetails);
    EXPECT_EQ(0u, denied->parentId);
    EXPECT_STREQ("", denied->path);

    const ProcessRecord *unknown = FindProcessRecord(child.Id(), KindProcess);
    ASSERT_TRUE(unknown);
    EXPECT_STREQ("[Unknown]", unknown->name);
    EXPECT_TRUE(unknown->flags & RecordNoDetails);
    EXPECT_EQ(GetCurrentProcessId(), unknown->parentId);
    EXPECT_EQ(0u, unknown->priorityClass);
    EXPECT_EQ(0, host_->RowCount());

    // Read again on the next pass: with the image name readable (as a 32-bit program reads a
    // 64-bit process), the same record becomes a row with name, path and priority.
    g_ntApi.QueryFullProcessImageNameA = g_real.QueryFullProcessImageNameA;
    ASSERT_TRUE(g_ntApi.QueryFullProcessImageNameA);
    Pass();
    EXPECT_EQ(unknown, FindProcessRecord(child.Id(), KindProcess));
    const int row = host_->FindRow(child.Id());
    ASSERT_EQ(0, row);
    EXPECT_EQ("kvnt_hidden.exe", host_->CellText(row, 0));
    EXPECT_EQ(0, lstrcmpiA(child.Path().c_str(), host_->CellText(row, 3).c_str()));
    EXPECT_EQ("Normal", host_->CellText(row, 2));
    EXPECT_EQ(GetCurrentProcessId(), unknown->parentId);
    EXPECT_EQ(2, kvtest::CountRecords());
}

TEST_F(NtProvider, ParentIsZeroWithoutNativeQuery)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_orphan.exe"));
    g_fake.ids = {child.Id()};
    g_ntApi.NtQueryInformationProcess = nullptr;
    Pass();

    const ProcessRecord *record = FindProcessRecord(child.Id(), KindProcess);
    ASSERT_TRUE(record);
    EXPECT_STREQ("kvnt_orphan.exe", record->name);
    EXPECT_EQ(0u, record->parentId);
    EXPECT_EQ(0, host_->FindRow(child.Id()));
}

TEST_F(NtProvider, SixteenBitTasksFollowTheirMachine)
{
    g_fake.machineId = GetCurrentProcessId();
    g_fake.ids = {g_fake.machineId};
    g_ntApi.VDMEnumProcessWOW = FakeEnumMachines;
    g_ntApi.VDMEnumTaskWOWEx = FakeEnumTasks;
    g_ntApi.VDMTerminateTaskWOW = FakeTerminateTask;
    Pass();
    EXPECT_TRUE(g_fake.machineRecordedFirst);

    const ProcessRecord *app = FindProcessRecord(701, KindTask16);
    ASSERT_TRUE(app);
    EXPECT_STREQ("  APP.EXE", app->name);
    EXPECT_STREQ("C:\\WIN\\APP.EXE", app->path);
    EXPECT_EQ(g_fake.machineId, app->parentId);
    EXPECT_EQ(0x1234, app->task16);
    EXPECT_EQ(0u, app->flags & RecordNoDetails);

    // Without a folder in the file name, the module name stands in.
    const ProcessRecord *bare = FindProcessRecord(702, KindTask16);
    ASSERT_TRUE(bare);
    EXPECT_STREQ("  NOPATH", bare->name);
    EXPECT_STREQ("NOPATH.EXE", bare->path);

    // Rows: the machine, then its tasks beside it.
    ASSERT_EQ(3, host_->RowCount());
    const int machineRow = host_->FindRow(g_fake.machineId);
    EXPECT_EQ(machineRow + 1, host_->FindRow(701, KindTask16));
    EXPECT_EQ(machineRow + 2, host_->FindRow(702, KindTask16));

    EXPECT_EQ(1, TerminateWowTask(g_fake.machineId, 0x1234));
    EXPECT_EQ(g_fake.machineId, g_fake.terminatedMachine);
    EXPECT_EQ(0x1234, g_fake.terminatedTask);
    g_ntApi.VDMTerminateTaskWOW = nullptr;
    EXPECT_EQ(0, TerminateWowTask(g_fake.machineId, 0x1234));
}

TEST_F(NtProvider, NormalisesKernelStylePaths)
{
    const char root[] = "C:\\a-rather-long-folder-name\\kv"; // 31 characters
    ASSERT_TRUE(SetEnvironmentVariableA("KVTESTROOT", root));
    SetEnvironmentVariableA("KVTEST_UNDEFINED", nullptr);
    char systemRoot[MAX_PATH] = "";
    GetEnvironmentVariableA("SystemRoot", systemRoot, sizeof systemRoot);
    g_ntApi.GetModuleFileNameExA = FakeFileName;

    struct Case {
        const char *reported;
        DWORD size;
        std::string expected;
    };
    const Case cases[] = {
        {"\\??\\C:\\dir\\prog.exe", MAX_PATH, "C:\\dir\\prog.exe"},
        {"C:\\dir\\??\\prog.exe", MAX_PATH, "C:\\dir\\??\\prog.exe"},
        {"\\SystemRoot\\System32\\smss.exe", MAX_PATH,
         std::string(systemRoot) + "\\System32\\smss.exe"},
        {"\\KVTESTROOT\\bin\\k.exe", MAX_PATH, std::string(root) + "\\bin\\k.exe"},
        {"\\KVTEST_UNDEFINED\\bin\\k.exe", MAX_PATH, "\\KVTEST_UNDEFINED\\bin\\k.exe"},
        {"\\\\server\\share\\x.dll", MAX_PATH, "\\\\server\\share\\x.dll"},
        {"\\KVTESTROOT", MAX_PATH, "\\KVTESTROOT"},
        // The expansion needs 31 + 1 + 9 characters and the terminator.
        {"\\KVTESTROOT\\bin\\k.exe", 42, std::string(root) + "\\bin\\k.exe"},
        {"\\KVTESTROOT\\bin\\k.exe", 41, "\\KVTESTROOT\\bin\\k.exe"},
        {nullptr, MAX_PATH, ""},
    };
    for (const Case &c : cases) {
        g_fake.fileName = c.reported;
        char buffer[MAX_PATH];
        std::memset(buffer, 'x', sizeof buffer);
        NormaliseModulePath(GetCurrentProcess(), nullptr, buffer, c.size);
        EXPECT_EQ(c.expected, buffer) << (c.reported ? c.reported : "(none)") << " in " << c.size;
    }
    ASSERT_TRUE(systemRoot[0]);
    SetEnvironmentVariableA("KVTESTROOT", nullptr);
}

TEST_F(NtProvider, FailedEnumerationRemovesEveryRow)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_gone.exe"));
    g_fake.ids = {GetCurrentProcessId(), child.Id(), kNoSuchProcess};
    Pass();
    ASSERT_EQ(2, host_->RowCount());

    g_fake.enumFails = true;
    Pass();
    EXPECT_EQ(0, host_->RowCount());
    EXPECT_EQ(0, kvtest::CountRecords());
}

TEST_F(NtProvider, ListsEveryProcessBeyondTheFirstBufferAndPrunesHiddenOnes)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_many.exe"));
    g_fake.ids.push_back(GetCurrentProcessId());
    for (DWORD i = 0; i < 2998; ++i)
        g_fake.ids.push_back(kNoSuchProcess + 4 * i);
    g_fake.ids.push_back(child.Id()); // last, beyond 2048
    Pass();

    EXPECT_EQ(3000, kvtest::CountRecords());
    EXPECT_EQ(2, host_->RowCount());
    EXPECT_LE(0, host_->FindRow(child.Id()));
    ASSERT_EQ(2u, g_fake.enumSizesGiven.size());
    EXPECT_EQ(2048 * sizeof(DWORD), g_fake.enumSizesGiven[0]);

    // Processes that are gone leave nothing behind, rows or hidden records.
    g_fake.ids = {GetCurrentProcessId()};
    Pass();
    EXPECT_EQ(1, kvtest::CountRecords());
    EXPECT_EQ(1, host_->RowCount());
    EXPECT_EQ(nullptr, FindProcessRecord(kNoSuchProcess, KindProcess));
}

TEST_F(NtProvider, ReportsEveryModuleInOrder)
{
    FakeModules(1500);

    std::vector<ModuleSeen> seen;
    EXPECT_TRUE(FillModuleList(GetCurrentProcessId(), CollectModule, &seen));
    ASSERT_EQ(1500u, seen.size());
    for (int i : {0, 1023, 1024, 1499}) {
        char name[32];
        std::snprintf(name, sizeof name, "mod%d.dll", i);
        EXPECT_EQ(name, seen[i].name);
        EXPECT_EQ(std::string("C:\\mods\\") + name, seen[i].path);
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(FakeModule(i)), seen[i].base);
        EXPECT_EQ(static_cast<SIZE_T>(i * 16), seen[i].size);
    }

    // Asked for the modules of both widths; before Vista the plain call serves alone.
    EXPECT_EQ(3u, g_fake.moduleFilter); // LIST_MODULES_ALL
    g_ntApi.EnumProcessModulesEx = nullptr;
    g_ntApi.EnumProcessModules = ManyEnumProcessModules;
    seen.clear();
    FillModuleList(GetCurrentProcessId(), CollectModule, &seen);
    EXPECT_EQ(1500u, seen.size());

    seen.clear();
    EXPECT_TRUE(FillModuleList(kNoSuchProcess, CollectModule, &seen));
    EXPECT_TRUE(seen.empty());
}

TEST_F(NtProvider, ModuleListKeepsItsScrollPositionAndHeapListStaysEmpty)
{
    FakeModules(200);
    HWND listBox = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VSCROLL | LBS_SORT, 0, 0, 200,
                                   200, GetParent(host_->List()), nullptr, nullptr, nullptr);
    ASSERT_TRUE(listBox);

    ListLines lines;
    FillModuleList(GetCurrentProcessId(), AddLine, &lines);
    ShowListLines(listBox, lines, true);
    SendMessageA(listBox, LB_SETTOPINDEX, 120, 0);
    const LRESULT top = SendMessageA(listBox, LB_GETTOPINDEX, 0, 0);
    ASSERT_GT(top, 0);
    ShowListLines(listBox, lines, true);
    EXPECT_EQ(200, SendMessageA(listBox, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(top, SendMessageA(listBox, LB_GETTOPINDEX, 0, 0));
    // Each line keeps its module's base.
    SendMessageA(listBox, LB_SETCURSEL, 150, 0);
    ULONG_PTR base = 0;
    ASSERT_TRUE(SelectedLineValue(listBox, &base));
    char name[32] = "";
    SendMessageA(listBox, LB_GETTEXT, 150, reinterpret_cast<LPARAM>(name));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(FakeModule(std::atoi(name + 3))), base) << name;

    ListLines heaps;
    FillHeapList(GetCurrentProcessId(), &heaps);
    EXPECT_EQ(0u, heaps.Count());
    DestroyWindow(listBox);
}

TEST_F(NtProvider, SteadyPassReadsOnlyThePriority)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_steady.exe"));
    g_fake.ids = {child.Id(), kNoSuchProcess};
    g_ntApi.EnumProcessModulesEx = nullptr;
    g_ntApi.EnumProcessModules = CountingEnumProcessModules;
    g_ntApi.GetModuleBaseNameA = CountingBaseName;
    g_ntApi.NtQueryInformationProcess = CountingQuery;
    Pass();
    const int row = host_->FindRow(child.Id());
    ASSERT_EQ(0, row);
    EXPECT_EQ(1, g_fake.enumModulesCalls);
    const std::string name = host_->CellText(row, 0);
    const std::string path = host_->CellText(row, 3);

    ASSERT_TRUE(SetPriorityClass(child.Handle(), IDLE_PRIORITY_CLASS));
    g_fake.enumModulesCalls = g_fake.baseNameCalls = g_fake.queryCalls = 0;
    Pass();
    EXPECT_EQ(0, g_fake.enumModulesCalls);
    EXPECT_EQ(0, g_fake.baseNameCalls);
    EXPECT_EQ(0, g_fake.queryCalls);
    ASSERT_EQ(row, host_->FindRow(child.Id()));
    EXPECT_EQ(name, host_->CellText(row, 0));
    EXPECT_EQ(path, host_->CellText(row, 3));
    EXPECT_EQ(static_cast<DWORD>(IDLE_PRIORITY_CLASS), host_->RecordOfRow(row)->priorityClass);
    EXPECT_EQ(GetCurrentProcessId(), host_->RecordOfRow(row)->parentId);

    // Another start time under the same identifier is another process: its old row goes and it
    // is read afresh; the same time, or a time that cannot be read, is the same process.
    const ProcessRecord *old = host_->RecordOfRow(row);
    ASSERT_NE(0u, old->createTime);
    g_fake.startShift = 10000000; // one second
    g_ntApi.NtQuerySystemInformation = ShiftedStartTimes;
    g_fake.enumModulesCalls = 0;
    Pass();
    EXPECT_EQ(1, g_fake.enumModulesCalls);
    EXPECT_EQ(1, host_->RowCount());
    const ProcessRecord *renewed = FindProcessRecord(child.Id(), KindProcess);
    ASSERT_TRUE(renewed);
    EXPECT_EQ(renewed, host_->RecordOfRow(host_->FindRow(child.Id())));
    EXPECT_EQ(name, host_->CellText(host_->FindRow(child.Id()), 0));
    Pass();
    g_ntApi.NtQuerySystemInformation = nullptr;
    Pass();
    EXPECT_EQ(1, g_fake.enumModulesCalls);
    EXPECT_EQ(renewed, FindProcessRecord(child.Id(), KindProcess));
}

TEST_F(NtProvider, FigureColumnsShowTheSourcesFiguresAndNothingLeftOver)
{
    kvtest::ChildProcess child;
    ASSERT_TRUE(child.Start("kvnt_figures.exe"));
    g_fake.ids = {child.Id()};
    ShowExtraColumns(host_->List(), 0x7F);
    const ULONGLONG second = 10000000;
    g_figures = FakeFigures();
    g_figures.id = child.Id();
    g_figures.start = 130000000000000000ull; // 2012
    g_figures.user = 3600 * second;
    g_figures.kernel = 123 * second;
    g_figures.workingSet = 12345 * 1024 + 1000;
    g_figures.privateBytes = 1000; // less than a kilobyte
    g_figures.threads = 3;
    g_figures.handles = 42;
    g_ntApi.NtQuerySystemInformation = FakeProcessFigures;
    const auto cells = [&] {
        std::vector<std::string> texts;
        for (int column = 3; column < 10; ++column)
            texts.push_back(host_->CellText(0, column));
        return texts;
    };
    // CPU, CPU Time, Working Set, Private Bytes, Threads, Handles, Started.
    Pass();
    std::vector<std::string> shown = cells();
    EXPECT_EQ((std::vector<std::string>{"", "1:02:03", "12,345 K", "0 K", "3", "42"}),
              std::vector<std::string>(shown.begin(), shown.begin() + 6)); // CPU: first sighting
    EXPECT_NE(std::string::npos, shown[6].find("2012")) << shown[6];

    g_figures.kernel += 100 * second; // far more than the pass took, on any processor count
    Pass();
    EXPECT_EQ("100.0", cells()[0]);
    g_figures.user -= second; // a counter that went backwards tells nothing
    Pass();
    EXPECT_EQ("", cells()[0]);
    g_figures.fails = true; // no figures at all: every figure cell empties
    Pass();
    shown = cells();
    EXPECT_EQ(std::vector<std::string>(6, ""), std::vector<std::string>(shown.begin(), shown.begin() + 6));
}

TEST(ModulePath, ASystemModuleOfA32BitProcessHasOnePath)
{
    const char *cases[][2] = {
        {"C:\\Windows\\SysWOW64\\kernel32.dll", "C:\\Windows\\System32\\kernel32.dll"},
        {"c:\\windows\\syswow64\\ntdll.dll", "c:\\windows\\System32\\ntdll.dll"},
        {"C:\\Windows\\System32\\kernel32.dll", "C:\\Windows\\System32\\kernel32.dll"},
        {"D:\\Windows\\SysWOW64\\x.dll", "D:\\Windows\\SysWOW64\\x.dll"},
        {"C:\\Windows\\SysWOW64", "C:\\Windows\\SysWOW64"},
        {"C:\\Win", "C:\\Win"}};
    for (const auto &c : cases) {
        char path[MAX_PATH];
        lstrcpyA(path, c[0]);
        SeeSystemFolderAs32Bit(path, "C:\\Windows");
        EXPECT_STREQ(c[1], path);
    }
}

TEST(CpuShare, IsTheTimeUsedOverTheTimeAllProcessorsHad)
{
    const ULONGLONG second = 10000000, t0 = 5 * second;
    EXPECT_EQ(500, CpuShareTenths(0, second / 2, t0, t0 + second, 1));
    EXPECT_EQ(250, CpuShareTenths(0, second / 2, t0, t0 + second, 2));
    EXPECT_EQ(1000, CpuShareTenths(0, 3 * second, t0, t0 + second, 2)); // never above the whole
    EXPECT_EQ(0, CpuShareTenths(7, 7, t0, t0 + second, 4));
    EXPECT_EQ(-1, CpuShareTenths(0, second, t0, t0, 1));      // no time passed
    EXPECT_EQ(-1, CpuShareTenths(0, second, t0, t0 - 1, 1));  // the clock went back
    EXPECT_EQ(-1, CpuShareTenths(second, 0, t0, t0 + second, 1)); // the counter went back
}

DWORD WINAPI EveryGroupHas128(WORD group) { return group == 0xFFFF ? 128 : 64; }
DWORD WINAPI CountsNothing(WORD) { return 0; }
void WINAPI NativeHas64(SYSTEM_INFO *info) { info->dwNumberOfProcessors = 64; }

// What the figures are counted from, read as the system means it: processors of every group,
// a time in the daylight-saving rule of its own date, the locale's digit grouping.
TEST(MachineFacts, ProcessorsTimesAndGroupingAreReadAsTheSystemMeansThem)
{
    SYSTEM_INFO group = {};
    GetSystemInfo(&group);
    const struct {
        GetActiveProcessorCountFn active;
        GetNativeSystemInfoFn native;
        unsigned expected;
    } counts[] = {{EveryGroupHas128, NativeHas64, 128}, {CountsNothing, NativeHas64, 64},
                  {nullptr, NativeHas64, 64}, {nullptr, nullptr, group.dwNumberOfProcessors}};
    for (const auto &c : counts)
        EXPECT_EQ(c.expected, CountProcessors(c.active, c.native));

    // UTC+1, and UTC+2 from the last Sunday of March to the last Sunday of October.
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = -60;
    zone.DaylightBias = -60;
    zone.StandardDate = {0, 10, 0, 5, 3, 0, 0, 0};
    zone.DaylightDate = {0, 3, 0, 5, 2, 0, 0, 0};
    const struct {
        WORD month, utcHour, localDay, localHour;
    } times[] = {{7, 12, 1, 14}, {1, 12, 1, 13}, {10, 23, 2, 1}, {12, 23, 2, 0}};
    for (const auto &t : times) {
        const SYSTEMTIME utc = {2026, t.month, 0, 1, t.utcHour, 0, 0, 0};
        FILETIME file;
        SYSTEMTIME local = {};
        ASSERT_TRUE(SystemTimeToFileTime(&utc, &file));
        ASSERT_TRUE(UtcToLocalFields(file, &zone, &local));
        EXPECT_EQ(t.localDay * 100 + t.localHour, local.wDay * 100 + local.wHour)
            << "month " << t.month;
    }

    const struct {
        const char *locale;
        UINT grouping;
    } groupings[] = {{"3;0", 3}, {"3", 30}, {"3;2;0", 32}, {"3;2", 320}, {"0", 0}, {"", 0}};
    for (const auto &g : groupings)
        EXPECT_EQ(g.grouping, GroupingFromLocale(g.locale)) << g.locale;
}

} // namespace
