#include "views/historygraph.h"

#include "providers/systemsample.h"

namespace {

const int kGridPixels = 12; // at 96 dpi
const COLORREF kGridColor = RGB(0, 128, 64);

int Scale(int pixels, int dpi)
{
    return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

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
    const int cell = Scale(kGridPixels, dpi);
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

// The line from the newest sample leftwards; unknown samples leave a gap.
void DrawLine(HDC dc, const RECT &area, const GraphLine &line, int step, int dpi)
{
    HPEN pen = CreatePen(PS_SOLID, Scale(1, dpi), line.color);
    HGDIOBJ old = SelectObject(dc, pen);
    const SampleRing &history = SystemHistory();
    const int top = area.bottom - 1;
    bool drawing = false;
    for (size_t age = 0; age < history.count; ++age) {
        const int x = area.right - 1 - static_cast<int>(age) * step;
        if (x < -step)
            break;
        const int tenths = line.tenths(*SampleAt(history, age));
        if (tenths < 0) {
            drawing = false;
            continue;
        }
        const int y = top - MulDiv(tenths, top, 1000);
        if (drawing)
            LineTo(dc, x, y);
        else
            MoveToEx(dc, x, y, nullptr);
        drawing = true;
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

void DrawHistoryGraph(HDC dc, const RECT &rect, HistoryGraph graph, int samplePixels, int dpi)
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
                DrawLine(memory, area, line, Scale(samplePixels, dpi), dpi);
        BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    if (memory)
        DeleteDC(memory);
}
