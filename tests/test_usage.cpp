// The module-usage view over the machine's real processes, filtering a real main list.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/mainwnd.h"
#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"
#include "views/usage.h"

namespace {

class ModuleUsage : public kvtest::ViewTest {
protected:
    ModuleUsage() : ViewTest(OnModuleUsageCommand) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_usage.exe"));
    }
    void TearDown() override
    {
        g_listFrozen = false;
        ViewTest::TearDown();
    }
    std::string MainTitle() const { return kvtest::WindowText(GetParent(host_->List())); }

    // Chooses the line of `module` (loaded from `hmodule`) as a click does, waits for the filter
    // and returns the count the line shows; -1 when there is no such line or no filter came.
    int Choose(HWND view, HMODULE hmodule, const std::string &module) const
    {
        char path[MAX_PATH], start[64];
        GetModuleFileNameA(hmodule, path, sizeof path);
        snprintf(start, sizeof start, "%s\t%0*llx\t", module.c_str(), int(2 * sizeof(void *)),
                 static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hmodule)));
        HWND list = GetDlgItem(view, IDC_USAGE_LIST);
        const std::vector<std::string> lines = kvtest::ListLines(list);
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string &line = lines[i];
            const size_t last = line.rfind('\t');
            if (line.compare(0, strlen(start), start) || lstrcmpiA(line.c_str() + last + 1, path))
                continue;
            SendMessageA(list, LB_SETCURSEL, i, 0);
            SendMessageA(view, WM_COMMAND, MAKEWPARAM(IDC_USAGE_LIST, LBN_SELCHANGE), LPARAM(list));
            if (!kvtest::PumpUntil([&] { return MainTitle() == g_windowTitle + (" -- " + module); }, 3000))
                return -1;
            return atoi(line.c_str() + line.rfind('\t', last - 1) + 1);
        }
        return -1;
    }
};

TEST_F(ModuleUsage, CountsSharedModulesAndFiltersTheMainListByTheChosenOne)
{
    const HMODULE self = GetModuleHandleA(nullptr), ntdll = GetModuleHandleA("ntdll.dll");
    int users = 0, sharers = 0, rowsAtClose = 0;
    const HWND view = Run([&](HWND shown) {
        EXPECT_EQ("Module usage", kvtest::WindowText(shown));
        // Only the processes running the test executable stay; the child goes.
        users = Choose(shown, self, "kelvane_tests.exe");
        EXPECT_TRUE(g_listFrozen);
        EXPECT_EQ(users, host_->RowCount());
        EXPECT_GE(host_->FindRow(GetCurrentProcessId()), 0);
        EXPECT_EQ(-1, host_->FindRow(child_.Id()));
        // A second choice starts from every process again: the child loads ntdll too. Other
        // processes of the machine may come and go meanwhile, so only ours are counted on.
        sharers = Choose(shown, ntdll, "ntdll.dll");
        EXPECT_GE(host_->FindRow(GetCurrentProcessId()), 0);
        EXPECT_GE(host_->FindRow(child_.Id()), 0);
        EXPECT_EQ(users, Choose(shown, self, "kelvane_tests.exe"));
        rowsAtClose = host_->RowCount();
    });
    ASSERT_TRUE(view);
    EXPECT_GE(sharers, 2);
    EXPECT_EQ(1, users);
    // The filter outlives the view; the command then clears it and opens nothing.
    EXPECT_TRUE(g_listFrozen);
    EXPECT_EQ(rowsAtClose, host_->RowCount());
    EXPECT_EQ(nullptr, kvtest::RunViewCommand(*host_, OnModuleUsageCommand, [](HWND) {}));
    EXPECT_FALSE(g_listFrozen);
    EXPECT_EQ(g_windowTitle, MainTitle());
    EXPECT_GE(host_->FindRow(child_.Id()), 0);
}

} // namespace
