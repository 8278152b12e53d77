#include "app/statusgraphs.h"

#include <commctrl.h>

#include "core/appstate.h"
#include "core/dpi.h"
#include "core/settings.h"
#include "providers/systemsample.h"
#include "views/historygraph.h"
#include "views/systeminfo.h"

namespace {

const int kSecondPixels = 1; // of a graph's time axis, at 96 dpi
const HistoryGraph kPartGraphs[kStatusGraphParts] = {GraphCpu, GraphCommit};

HWND g_tip;
HWND g_bar;           // the status bar the graphs were last attached to
int g_firstPart = -1; // -1 while no part is a graph

void SetTipTool(HWND statusBar, int part, bool add)
{
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = statusBar;
    tool.uId = static_cast<UINT_PTR>(part);
    tool.lpszText = const_cast<char *>("");
    SendMessageA(statusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageA(g_tip, add ? TTM_ADDTOOLA : TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CreateTip(HWND statusBar)
{
    if (g_tip)
        return;
    g_tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, statusBar, nullptr,
                            g_instance, nullptr);
    if (g_tip) // room for the two lines of the text
        SendMessageA(g_tip, TTM_SETMAXTIPWIDTH, 0, 4 * ScaleFrom96(kStatusGraphWidth, g_screenDpi));
}

void UpdateTipText(HWND statusBar)
{
    char text[256];
    FormatGraphTip(LatestSystemFigures(), text, sizeof text);
    for (int i = 0; i < kStatusGraphParts; ++i) {
        TOOLINFOA tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = statusBar;
        tool.uId = static_cast<UINT_PTR>(g_firstPart + i);
        tool.lpszText = text;
        SendMessageA(g_tip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

} // namespace

bool StatusGraphsShown()
{
    return g_settings.statusGraphs && CpuShareAvailable();
}

void AttachStatusGraphs(HWND statusBar, int firstPart, bool shown)
{
    CreateTip(statusBar);
    if (g_tip && g_firstPart >= 0)
        for (int i = 0; i < kStatusGraphParts; ++i)
            SetTipTool(statusBar, g_firstPart + i, false);
    g_bar = statusBar;
    g_firstPart = shown ? firstPart : -1;
    if (!shown)
        return;
    for (int i = 0; i < kStatusGraphParts; ++i) {
        SendMessageA(statusBar, SB_SETTEXTA, (firstPart + i) | SBT_OWNERDRAW, 0);
        if (g_tip)
            SetTipTool(statusBar, firstPart + i, true);
    }
    if (g_tip)
        UpdateTipText(statusBar);
}

namespace {

void ShowStatusGraphsSample(HWND statusBar)
{
    if (g_firstPart < 0 || !statusBar || !IsWindow(statusBar))
        return;
    for (int i = 0; i < kStatusGraphParts; ++i) {
        RECT rect;
        if (SendMessageA(statusBar, SB_GETRECT, g_firstPart + i, reinterpret_cast<LPARAM>(&rect)))
            InvalidateRect(statusBar, &rect, FALSE);
    }
    if (g_tip)
        UpdateTipText(statusBar);
}

void CALLBACK SampleOnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    TakeSystemSample();
    ShowStatusGraphsSample(g_bar);
    ShowSystemSample();
}

} // namespace

void StartSystemSampler(HWND window)
{
    TakeSystemSample(); // the start of the first interval
    SetTimer(window, kSamplerTimerId, static_cast<UINT>(kSampleIntervalMs), SampleOnTimer);
}

bool DrawStatusGraph(const DRAWITEMSTRUCT &item)
{
    if (item.hwndItem != g_bar || g_firstPart < 0 ||
        item.itemID < static_cast<UINT>(g_firstPart) ||
        item.itemID >= static_cast<UINT>(g_firstPart + kStatusGraphParts))
        return false;
    // The last part reaches the window's edge, under the sizing grip; the graph keeps its width.
    RECT rect = item.rcItem;
    const int width = ScaleFrom96(kStatusGraphWidth, g_screenDpi);
    if (rect.right - rect.left > width)
        rect.right = rect.left + width;
    DrawHistoryGraph(item.hDC, rect, kPartGraphs[item.itemID - g_firstPart], kSecondPixels,
                     g_screenDpi);
    return true;
}
