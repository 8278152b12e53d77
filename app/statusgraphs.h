// The two small graphs at the right end of the main window's status bar: the processor share
// and the commit charge of the newest readings, with a tooltip giving their current values.
// The status bar's parts are set by the main window; these functions draw into two of them.
#pragma once
#include <windows.h>

const int kStatusGraphParts = 2;
const int kStatusGraphWidth = 48; // of one graph part, in 96-dpi pixels
const UINT_PTR kSamplerTimerId = 103;

// Whether the graphs are shown: the setting is on and the system tells the processor share.
bool StatusGraphsShown();
// After the parts were set: the parts from `firstPart` on are drawn as graphs, and the tooltip
// covers them; with `shown` false the tooltip covers nothing.
void AttachStatusGraphs(HWND statusBar, int firstPart, bool shown);
// Starts the machine's one sampler on `window` (the main window, whose life it shares): a reading
// every kSampleIntervalMs, whether the window is shown, hidden or paused, which the graphs,
// their tooltip and an open System Information view then show.
void StartSystemSampler(HWND window);
// WM_DRAWITEM from the status bar last attached; true when it drew a graph.
bool DrawStatusGraph(const DRAWITEMSTRUCT &item);
