// The threads view opened for real from its command, with a real child's threads selected in a
// process list, and driven from inside its modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fixtures.h"
#include "resource.h"
#include "views/threads.h"

namespace {

struct ChildThread {
    unsigned long id;
    int relative; // SetThreadPriority value
};

// The child runs in the normal priority class, so a thread's current priority is 8 plus its
// relative setting, except that time-critical is 15 outright.
std::string ExpectedLine(const ChildThread &thread, bool hex)
{
    struct Level {
        int relative, priority;
        const char *name;
    };
    static const Level levels[] = {
        {-2, 6, "(Lowest)"}, {0, 8, "(Normal)"}, {2, 10, "(Highest)"}, {15, 15, "(Time Critical)"}};
    for (const Level &level : levels) {
        if (level.relative != thread.relative)
            continue;
        char line[64];
        std::snprintf(line, sizeof line, hex ? "%08lx\t%d %s" : "%lu\t%d %s", thread.id,
                      level.priority, level.name);
        return line;
    }
    return "?";
}

class ThreadsView : public kvtest::ViewTest {
protected:
    ThreadsView() : ViewTest(OnThreadsCommand) {}

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvtest_threads.exe", "--threads -2,0,2,15", true));
        std::string line;
        while (threads_.size() < 4 && child_.ReadLine(&line)) {
            ChildThread thread;
            ASSERT_EQ(2, std::sscanf(line.c_str(), "thread %lu %d", &thread.id, &thread.relative))
                << line;
            threads_.push_back(thread);
        }
        ASSERT_EQ(4u, threads_.size());
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    }

    bool Contains(const std::vector<std::string> &lines, const std::string &line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::vector<ChildThread> threads_;
};

TEST_F(ThreadsView, ListsEachThreadWithItsPriorityInDecimalAndHex)
{
    for (bool hex : {false, true}) {
        SCOPED_TRACE(hex ? "hex" : "decimal");
        g_settings.hexProcessId = hex;
        std::vector<std::string> shown, afterF5;
        std::string title, header;
        const HWND dialog = Run([&](HWND view) {
            HWND list = GetDlgItem(view, IDC_THREAD_LIST);
            title = kvtest::WindowText(view);
            header = kvtest::WindowText(GetDlgItem(view, IDC_THREAD_HEADER));
            shown = kvtest::ListLines(list);
            kvtest::PressKey(view, list, VK_F5);
            afterF5 = kvtest::ListLines(list);
        });
        ASSERT_TRUE(dialog);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ("Threads -- kvtest_threads.exe", title);
        EXPECT_EQ("ID\tPriority", header);
        for (const ChildThread &thread : threads_)
            EXPECT_TRUE(Contains(shown, ExpectedLine(thread, hex))) << ExpectedLine(thread, hex);
        EXPECT_GE(shown.size(), threads_.size() + 1); // and the main thread
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
        EXPECT_EQ(shown, afterF5);
    }
}

TEST_F(ThreadsView, EmptiesOnTheNextTickOnceTheProcessEndsAndStaysOpen)
{
    g_settings.threadRefresh = 1;
    size_t before = 0;
    bool emptied = false, stillOpen = false;
    Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_THREAD_LIST);
        before = kvtest::ListLines(list).size();
        child_.Kill();
        emptied = kvtest::PumpUntil([&] { return kvtest::ListLines(list).empty(); }, 4000);
        stillOpen = IsWindow(view) && IsWindowEnabled(view);
    });
    EXPECT_GE(before, threads_.size());
    EXPECT_TRUE(emptied);
    EXPECT_TRUE(stillOpen);
}

} // namespace
