// The memory view against a real child (kvmemory.exe) that sets up regions of known kinds:
// opened from its command, read from inside its modal loop, refreshed, resized; and the module
// tally that the module-usage view shares.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/address.h"
#include "views/memory.h"

namespace {

struct Region {
    ULONG_PTR base;
    SIZE_T size;
};

std::vector<std::string> Columns(const std::string &line)
{
    std::vector<std::string> columns;
    std::string column;
    std::istringstream input(line);
    while (std::getline(input, column, '\t'))
        columns.push_back(column);
    return columns;
}

std::string Address(ULONG_PTR address)
{
    char text[24];
    std::snprintf(text, sizeof text, ADDRESS_FORMAT, address);
    return text;
}

// The columns of the line that starts at `base`; empty when there is none.
std::vector<std::string> LineAt(const std::vector<std::string> &lines, ULONG_PTR base)
{
    const std::string start = Address(base) + "\t";
    for (const std::string &line : lines)
        if (line.compare(0, start.size(), start) == 0)
            return Columns(line);
    return {};
}

unsigned long long Number(const std::string &text)
{
    return std::strtoull(text.c_str(), nullptr, 10);
}

struct Totals {
    unsigned long long privateK = 0, mappedK = 0, imageK = 0;
    bool operator==(const Totals &other) const
    {
        return privateK == other.privateK && mappedK == other.mappedK && imageK == other.imageK;
    }
};

bool ParseTotals(const std::string &text, Totals *totals)
{
    return std::sscanf(text.c_str(), "Private: %llu K, Mapped: %llu K, Image: %llu K",
                       &totals->privateK, &totals->mappedK, &totals->imageK) == 3;
}

// What the committed lines add up to, by type, rounded up to kilobytes.
Totals SumOfLines(const std::vector<std::string> &lines)
{
    unsigned long long bytes[3] = {};
    for (const std::string &line : lines) {
        const std::vector<std::string> c = Columns(line);
        if (c.size() < 7 || c[4] != "Commit")
            continue;
        const int type = c[6] == "Private" ? 0 : c[6] == "Mapped" ? 1 : c[6] == "Image" ? 2 : -1;
        if (type >= 0)
            bytes[type] += Number(c[3]);
    }
    Totals totals;
    totals.privateK = (bytes[0] + 1023) / 1024;
    totals.mappedK = (bytes[1] + 1023) / 1024;
    totals.imageK = (bytes[2] + 1023) / 1024;
    return totals;
}

// The view on kvmemory.exe, which reports the regions it set up, then idles.
class MemoryView : public kvtest::ViewTest {
protected:
    MemoryView() : ViewTest(OnMemoryCommand) {}

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ViewTest::SetUp());
        ASSERT_TRUE(child_.Start("kvmemory.exe", nullptr, true, "kvmemory.exe"));
        // "KIND BASE [SIZE]" lines up to "ready".
        std::string line;
        while (child_.ReadLine(&line) && line != "ready") {
            char kind[16];
            unsigned long long base = 0, size = 0;
            if (std::sscanf(line.c_str(), "%15s %llx %llx", kind, &base, &size) >= 2)
                regions_[kind] = {static_cast<ULONG_PTR>(base), static_cast<SIZE_T>(size)};
        }
        ASSERT_EQ("ready", line);
        ASSERT_NE(0u, Image());
        ASSERT_TRUE(host_->SelectProcess(child_.Id()));
    }

    ULONG_PTR Image() const { return Get("image").base; }
    // Where the child put a region of this kind; base 0 when it could not.
    Region Get(const char *kind) const
    {
        const auto found = regions_.find(kind);
        return found == regions_.end() ? Region() : found->second;
    }

    std::map<std::string, Region> regions_;
};

TEST_F(MemoryView, ShowsEachRegionWithItsStateProtectionTypeAndModule)
{
    std::vector<std::string> lines;
    std::string title, header;
    ASSERT_TRUE(Run([&](HWND view) {
        title = kvtest::WindowText(view);
        header = kvtest::WindowText(GetDlgItem(view, IDC_MEMORY_HEADER));
        lines = kvtest::ListLines(GetDlgItem(view, IDC_MEMORY_LIST));
    }));
    EXPECT_EQ("Memory -- kvmemory.exe", title);
    EXPECT_EQ("BaseAddr\tAllocBase\tAllocProtect\tSize\tState\tProtect\tType\tModule", header);
    ASSERT_FALSE(lines.empty());

    // Address order from 0; the lowest range is free.
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
    const std::vector<std::string> first = Columns(lines.front());
    ASSERT_EQ(7u, first.size()) << lines.front();
    EXPECT_EQ(Address(0), first[0]);
    EXPECT_EQ("N/A", first[1]);
    EXPECT_EQ("N/A", first[2]);
    EXPECT_EQ("Free", first[4]);
    EXPECT_EQ("N/A", first[5]);
    EXPECT_EQ("N/A", first[6]);

    struct Expected {
        const char *kind;
        const char *allocProtect, *state, *protect, *type;
    };
    const Expected expected[] = {
        {"private", "ReadWrite", "Commit", "ReadWrite", "Private"},
        {"reserve", "ReadWrite", "Reserve", "N/A", "Private"},
        {"guard", "R/W Guard", "Commit", "R/W Guard", "Private"},
        {"nocache", "(204)", "Commit", "(204)", "Private"},
        {"mapped", "ReadOnly", "Commit", "ReadOnly", "Mapped"},
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.kind);
        const Region region = Get(e.kind);
        ASSERT_NE(0u, region.base);
        const std::vector<std::string> c = LineAt(lines, region.base);
        ASSERT_EQ(7u, c.size()); // no module column
        EXPECT_EQ(Address(region.base), c[1]);
        EXPECT_EQ(e.allocProtect, c[2]);
        EXPECT_EQ(region.size, Number(c[3]));
        EXPECT_EQ(e.state, c[4]);
        EXPECT_EQ(e.protect, c[5]);
        EXPECT_EQ(e.type, c[6]);
    }

    // Every region of the child's image names it; regions of other modules name theirs.
    int imageLines = 0;
    for (const std::string &line : lines) {
        const std::vector<std::string> c = Columns(line);
        if (c.size() < 7 || c[1] != Address(Image()))
            continue;
        ++imageLines;
        EXPECT_EQ("Image", c[6]) << line;
        ASSERT_EQ(8u, c.size()) << line;
        EXPECT_EQ("kvmemory.exe", c[7]);
    }
    EXPECT_GE(imageLines, 2); // headers and at least one section
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const std::vector<std::string> kernelLine = LineAt(lines, reinterpret_cast<ULONG_PTR>(kernel));
    ASSERT_EQ(8u, kernelLine.size());
    EXPECT_EQ(0, lstrcmpiA("kernel32.dll", kernelLine[7].c_str()));
}

TEST_F(MemoryView, TotalsAddUpTheCommittedRegionsOfEachTypeBeyondFourGigabytes)
{
    std::vector<std::string> lines;
    std::string text;
    ASSERT_TRUE(Run([&](HWND view) {
        lines = kvtest::ListLines(GetDlgItem(view, IDC_MEMORY_LIST));
        text = kvtest::WindowText(GetDlgItem(view, IDC_MEMORY_TOTALS));
    }));
    Totals shown;
    ASSERT_TRUE(ParseTotals(text, &shown)) << text;
    EXPECT_EQ(SumOfLines(lines), shown) << text;
    const unsigned long long mappedK = (Get("mapped").size + 1023) / 1024;
    ASSERT_NE(0u, mappedK);
    EXPECT_GE(shown.mappedK, mappedK); // more than 4 GB on the 64-bit build
    EXPECT_GE(shown.privateK, (0x30000 + 0x10000 + 0x10000) / 1024);
    EXPECT_GT(shown.imageK, 0u);
}

TEST_F(MemoryView, TickRebuildsOnlyWhenTotalsMoveAndEmptiesOnceTheProcessEnds)
{
    g_settings.memoryRefresh = 1;
    const ULONG_PTR kMarker = 0x4b56;
    ULONG_PTR markerAfterQuietTick = 0;
    Totals before, after;
    bool newRegionShown = false, emptied = false, emptyAfterF5 = false, open = false;
    ASSERT_TRUE(Run([&](HWND view) {
        HWND list = GetDlgItem(view, IDC_MEMORY_LIST);
        HWND totals = GetDlgItem(view, IDC_MEMORY_TOTALS);
        ParseTotals(kvtest::WindowText(totals), &before);

        // A tick that finds the same totals leaves the lines alone.
        SendMessageA(list, LB_SETITEMDATA, 0, kMarker);
        kvtest::PumpUntil([] { return false; }, 1500);
        markerAfterQuietTick = static_cast<ULONG_PTR>(SendMessageA(list, LB_GETITEMDATA, 0, 0));

        // One more committed megabyte moves the private total and brings the region in.
        void *added = VirtualAllocEx(child_.Handle(), nullptr, 0x100000, MEM_RESERVE | MEM_COMMIT,
                                     PAGE_READWRITE);
        newRegionShown = added && kvtest::PumpUntil(
            [&] {
                const std::vector<std::string> c =
                    LineAt(kvtest::ListLines(list), reinterpret_cast<ULONG_PTR>(added));
                return c.size() >= 5 && c[4] == "Commit";
            },
            4000);
        ParseTotals(kvtest::WindowText(totals), &after);

        child_.Kill();
        emptied = kvtest::PumpUntil([&] { return kvtest::ListLines(list).empty(); }, 4000);
        kvtest::PressKey(view, list, VK_F5);
        emptyAfterF5 = kvtest::ListLines(list).empty();
        open = IsWindow(view) != FALSE;
    }));
    EXPECT_EQ(kMarker, markerAfterQuietTick);
    EXPECT_TRUE(newRegionShown);
    EXPECT_EQ(before.privateK + 1024, after.privateK);
    EXPECT_EQ(before.mappedK, after.mappedK);
    EXPECT_TRUE(emptied);
    EXPECT_TRUE(emptyAfterF5);
    EXPECT_TRUE(open);
}

// Pixels of the control that differ from its top-left one: some once its text is drawn.
int InkedPixels(HWND control)
{
    RECT rect;
    GetClientRect(control, &rect);
    HDC dc = GetDC(control);
    const COLORREF background = GetPixel(dc, 0, 0);
    int inked = 0;
    for (int y = 0; y < rect.bottom; ++y)
        for (int x = 0; x < rect.right; ++x)
            inked += GetPixel(dc, x, y) != background;
    ReleaseDC(control, dc);
    return inked;
}

TEST_F(MemoryView, ResizingKeepsTheListMarginsAndTheTotalsOnTheBottomEdge)
{
    struct Layout {
        RECT client, list, totals, header;
    };
    auto measure = [](HWND view) {
        Layout layout;
        GetClientRect(view, &layout.client);
        const std::pair<int, RECT *> controls[] = {{IDC_MEMORY_LIST, &layout.list},
                                                   {IDC_MEMORY_TOTALS, &layout.totals},
                                                   {IDC_MEMORY_HEADER, &layout.header}};
        for (const auto &control : controls) {
            GetWindowRect(GetDlgItem(view, control.first), control.second);
            MapWindowPoints(nullptr, view, reinterpret_cast<POINT *>(control.second), 2);
        }
        return layout;
    };
    Layout opened, grown, shrunk;
    ASSERT_TRUE(Run([&](HWND view) {
        RECT frame;
        GetWindowRect(view, &frame);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        opened = measure(view);
        SetWindowPos(view, nullptr, 0, 0, width + 120, height + 90, SWP_NOMOVE | SWP_NOZORDER);
        grown = measure(view);
        kvtest::Pump(); // every paint the resizing asked for
        EXPECT_GT(InkedPixels(GetDlgItem(view, IDC_MEMORY_TOTALS)), 0) << "totals line blank";
        SetWindowPos(view, nullptr, 0, 0, 40, 40, SWP_NOMOVE | SWP_NOZORDER);
        shrunk = measure(view);
    }));
    // The list keeps its right and bottom margins.
    EXPECT_EQ(opened.client.right - opened.list.right, grown.client.right - grown.list.right);
    EXPECT_EQ(opened.client.bottom - opened.list.bottom, grown.client.bottom - grown.list.bottom);
    // The totals line sits on the bottom edge across the client area, at its own height.
    EXPECT_EQ(grown.client.bottom, grown.totals.bottom);
    EXPECT_EQ(0, grown.totals.left);
    EXPECT_EQ(grown.client.right, grown.totals.right);
    EXPECT_EQ(opened.totals.bottom - opened.totals.top, grown.totals.bottom - grown.totals.top);
    // The header spans the client area with its margins, at its first height.
    EXPECT_EQ(grown.client.right - grown.header.right, grown.header.left);
    EXPECT_EQ(opened.header.bottom - opened.header.top, grown.header.bottom - grown.header.top);
    // Too small for the list: nothing moves.
    EXPECT_EQ(grown.list.right, shrunk.list.right);
    EXPECT_EQ(grown.list.bottom, shrunk.list.bottom);
    EXPECT_EQ(grown.totals.top, shrunk.totals.top);
}

TEST_F(MemoryView, ModuleTallyCountsRepeatedReportsOfAModuleOnce)
{
    ModuleTally tally = {};
    FillModuleList(child_.Id(), CountModule, &tally);
    FillModuleList(child_.Id(), CountModule, &tally);
    const ModuleTallyEntry *exe = nullptr;
    int entries = 0;
    for (const ModuleTallyEntry *entry = tally.head; entry; entry = entry->next) {
        ++entries;
        EXPECT_EQ(2u, entry->count) << entry->name;
        if (entry->base == Image())
            exe = entry;
    }
    EXPECT_GE(entries, 3);
    ASSERT_TRUE(exe);
    EXPECT_STREQ("kvmemory.exe", exe->name);
    EXPECT_GT(exe->size, 0u);

    // The same module in other letter case counts too; at another base it is another entry.
    std::string upperName = "KVMEMORY.EXE", upperPath = exe->path;
    CharUpperA(&upperPath[0]);
    CountModule(&tally, upperName.c_str(), exe->base, exe->size, upperPath.c_str());
    EXPECT_EQ(3u, exe->count);
    CountModule(&tally, exe->name, exe->base + 0x10000, exe->size, exe->path);
    EXPECT_NE(exe, tally.head);
    EXPECT_EQ(1u, tally.head->count);
    EXPECT_EQ(exe->base + 0x10000, tally.head->base);
    FreeModuleTally(&tally);
    EXPECT_EQ(nullptr, tally.head);
}

} // namespace
