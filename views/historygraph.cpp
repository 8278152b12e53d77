#include "views/historygraph.h"

#include "core/dpi.h"
#include "providers/systemsample.h"

namespace {

const int kGridPixels = 12; // at 96 dpi
const COLORREF kGridColor = RGB(0, 128, 64);
// Left of the graph by more than any joined line between two samples is long.
const int kFarLeft = 4096;

// A sample's height in tenths of the graph's full scale; -1 when it is not known.
int BusyTenths(const SystemSample &sample)
{
    return sample.busyTenths;
}

int KernelTenths(const SystemSample &sample)
{
    return sample.kernelTenths;
}

int CommitTenths(const SystemSample &sample)
{
    if (sample.commitLimitBytes == 0 || sample.commitBytes > sample.commitLimitBytes)
        return -1;
    return static_cast<int>(1000.0 * static_cast<double>(sample.commitBytes) /
                            static_cast<double>(sample.commitLimitBytes));
}

struct GraphLine {
    HistoryGraph graph;
    COLORREF color;
    int (*tenths)(const SystemSample &sample);
};
const GraphLine kLines[] = {
    {GraphCpu, RGB(0, 255, 0), BusyTenths},
    {GraphCpu, RGB(255, 0, 0), KernelTenths},
    {GraphCommit, RGB(255, 255, 0), CommitTenths},
};

void DrawGrid(HDC dc, const RECT &area, int dpi)
{
    HPEN pen = CreatePen(PS_SOLID, 1, kGridColor);
    HGDIOBJ old = SelectObject(dc, pen);
    const int cell = ScaleStep(kGridPixels, dpi);
    for (int y = area.bottom - 1; y >= 0; y -= cell) {
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, area.right, y);
    }
    for (int x = area.right - 1; x >= 0; x -= cell) {
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, area.bottom);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The line from the newest sample, at the right edge, leftwards along the time each sample
// was taken; unknown samples and a pause in the sampling leave a gap.
void DrawLine(HDC dc, const RECT &area, const GraphLine &line, int pixelsPerSecond, int dpi)
{
    HPEN pen = CreatePen(PS_SOLID, ScaleStep(1, dpi), line.color);
    HGDIOBJ old = SelectObject(dc, pen);
    const SampleRing &history = SystemHistory();
    const SystemSample *newest = SampleAt(history, 0);
    const int top = area.bottom - 1;
    bool drawing = false;
    for (size_t age = 0; age < history.count; ++age) {
        const SystemSample &sample = *SampleAt(history, age);
        int x = area.right - 1 - PixelsBeforeEdge(newest->timeMs, sample.timeMs, pixelsPerSecond);
        if (x < -kFarLeft) // Windows 9x draws with 16-bit coordinates
            x = -kFarLeft;
        const int tenths = line.tenths(sample);
        if (tenths < 0 || (age > 0 && !SamplesJoin(*SampleAt(history, age - 1), sample)))
            drawing = false;
        if (tenths < 0)
            continue;
        const int y = top - MulDiv(tenths, top, 1000);
        if (drawing)
            LineTo(dc, x, y);
        else
            MoveToEx(dc, x, y, nullptr);
        drawing = true;
        if (x < 0)
            break;
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

void DrawHistoryGraph(HDC dc, const RECT &rect, HistoryGraph graph, int secondPixels, int dpi)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        const RECT area = {0, 0, width, height};
        FillRect(memory, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        DrawGrid(memory, area, dpi);
        for (const GraphLine &line : kLines)
            if (line.graph == graph)
                DrawLine(memory, area, line, ScaleStep(secondPixels, dpi), dpi);
        BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    if (memory)
        DeleteDC(memory);
}
