#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "core/appstate.h"
#include "providers/debugpriv.h"
#include "providers/provider.h"

namespace {

// An export source that hides chosen libraries and exports from the real system.
std::set<std::string> g_hidden;
int g_loads;

bool Hidden(const char *name)
{
    return g_hidden.count(name) != 0;
}

HMODULE FakeGetModule(const char *name)
{
    return Hidden(name) ? nullptr : GetModuleHandleA(name);
}

HMODULE FakeLoadLibrary(const char *name)
{
    ++g_loads;
    return Hidden(name) ? nullptr : LoadLibraryA(name);
}

FARPROC FakeGetProc(HMODULE module, const char *name)
{
    return Hidden(name) ? nullptr : GetProcAddress(module, name);
}

const ExportSource kFakeSource = {FakeGetModule, FakeLoadLibrary, FakeGetProc};

class Binding : public testing::Test {
protected:
    void SetUp() override
    {
        savedNt = g_ntApi;
        savedToolhelp = g_toolhelpApi;
        g_hidden.clear();
        g_loads = 0;
    }
    void TearDown() override
    {
        g_ntApi = savedNt;
        g_toolhelpApi = savedToolhelp;
    }
    NtApi savedNt;
    ToolhelpApi savedToolhelp;
};

} // namespace

TEST_F(Binding, NtBindsEveryExportFromTheSystem)
{
    ASSERT_TRUE(BindNtProvider(kFakeSource));
    EXPECT_NE(g_ntApi.EnumProcesses, nullptr);
    EXPECT_NE(g_ntApi.GetModuleFileNameExW, nullptr);
    EXPECT_NE(g_ntApi.NtQueryInformationProcess, nullptr);
}

TEST_F(Binding, NtFailsWithoutAnyRequiredExportEvenOneNeverCalled)
{
    g_hidden = {"GetModuleFileNameExW"};
    EXPECT_FALSE(BindNtProvider(kFakeSource));
    g_hidden = {"EnumProcesses"};
    EXPECT_FALSE(BindNtProvider(kFakeSource));
}

TEST_F(Binding, NtSucceedsWithoutOptionalLibraries)
{
    g_hidden = {"VDMDBG.DLL", "NTDLL.DLL"};
    EXPECT_TRUE(BindNtProvider(kFakeSource));
    EXPECT_EQ(g_ntApi.VDMEnumProcessWOW, nullptr);
    EXPECT_EQ(g_ntApi.VDMEnumTaskWOWEx, nullptr);
    EXPECT_EQ(g_ntApi.NtQueryInformationProcess, nullptr);
}

TEST_F(Binding, NtWithoutPsapiFailsBeforeLookingAtOptionalLibraries)
{
    g_hidden = {"PSAPI.DLL"};
    EXPECT_FALSE(BindNtProvider(kFakeSource));
    EXPECT_EQ(g_loads, 1); // only the attempt to load PSAPI itself
}

TEST_F(Binding, NinetyFiveFamilyNeedsAllElevenToolhelpExports)
{
    EXPECT_TRUE(Bind9xProvider(kFakeSource));
    EXPECT_NE(g_toolhelpApi.Heap32Next, nullptr);
    g_hidden = {"Heap32Next"};
    EXPECT_FALSE(Bind9xProvider(kFakeSource));
    EXPECT_EQ(g_toolhelpApi.Heap32Next, nullptr);
    g_hidden = {"KERNEL32.DLL"};
    EXPECT_FALSE(Bind9xProvider(kFakeSource));
}

namespace {

AdjustTokenPrivilegesFn g_realAdjust;
int g_adjustments;

BOOL WINAPI CountingAdjust(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD size,
                           PTOKEN_PRIVILEGES previous, PDWORD needed)
{
    ++g_adjustments;
    return g_realAdjust(token, disableAll, state, size, previous, needed);
}

} // namespace

TEST_F(Binding, TokenFunctionsAreLookedUpOnceAndAdjustOnEveryCall)
{
    g_hidden = {"ADVAPI32.DLL"};
    const TokenApi saved = g_tokenApi;
    EXPECT_FALSE(BindTokenApi(kFakeSource));
    EXPECT_EQ(g_loads, 0); // never loaded for this
    g_tokenApi = saved;

    EnableDebugPrivilege("SeDebugPrivilege", SE_PRIVILEGE_ENABLED); // binds, if nothing did yet
    ASSERT_NE(g_tokenApi.AdjustTokenPrivileges, nullptr);
    g_realAdjust = g_tokenApi.AdjustTokenPrivileges;
    g_adjustments = 0;
    g_tokenApi.AdjustTokenPrivileges = CountingAdjust; // a second lookup would drop it
    EnableDebugPrivilege("SeDebugPrivilege", SE_PRIVILEGE_ENABLED);
    EnableDebugPrivilege("SeDebugPrivilege", SE_PRIVILEGE_ENABLED);
    g_tokenApi.AdjustTokenPrivileges = g_realAdjust;
    EXPECT_EQ(g_adjustments, 2);

    // The privilege is really enabled in the token afterwards.
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    LUID luid;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &luid));
    PRIVILEGE_SET set = {};
    set.PrivilegeCount = 1;
    set.Privilege[0].Luid = luid;
    BOOL enabled = FALSE;
    ASSERT_TRUE(PrivilegeCheck(token, &set, &enabled));
    EXPECT_TRUE(enabled);
    CloseHandle(token);
}
