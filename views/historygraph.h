// The graphs of the machine's history, drawn into an owner-drawn rectangle: the System
// Information view's two large graphs and the status bar's two small ones.
#pragma once
#include <windows.h>

enum HistoryGraph {
    GraphCpu,    // processor share, the kernel's part in a second colour, 0-100%
    GraphCommit, // commit charge, 0 to the commit limit
};

// Draws the history into `rect` of `dc` through a memory bitmap, so a tick or a resize does not
// flicker: a grid, and the newest sample at the right edge, each older one `secondPixels`
// (at 96 dpi) further left for every second it is older. Sizes follow `dpi`.
void DrawHistoryGraph(HDC dc, const RECT &rect, HistoryGraph graph, int secondPixels, int dpi);
