#include "views/systeminfo.h"

#include <cstdio>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/figurecells.h"
#include "core/mainwindow.h"
#include "core/save.h"
#include "providers/systemsample.h"
#include "resource.h"
#include "views/historygraph.h"

namespace {

const int kSecondPixels = 3; // of a graph's time axis, at 96 dpi

// Layout in dialog units.
const int kMargin = 7;
const int kGap = 6;
const int kCaptionHeight = 10;
const int kRowHeight = 12;
const int kLabelWidth = 62;
const int kValueWidth = 116;

// Where each graph goes: its caption above it, the two sharing the height.
struct GraphPlace {
    int caption;
    int graph;
    HistoryGraph kind;
};
const GraphPlace kGraphs[] = {
    {IDC_SYSINFO_CPU_CAPTION, IDC_SYSINFO_CPU_GRAPH, GraphCpu},
    {IDC_SYSINFO_COMMIT_CAPTION, IDC_SYSINFO_COMMIT_GRAPH, GraphCommit},
};
const int kGraphCount = sizeof kGraphs / sizeof kGraphs[0];

const char *NotKnown()
{
    return ResText(IDS_NOT_APPLICABLE);
}

void FormatTenths(int tenths, char *text, size_t size)
{
    if (tenths < 0)
        std::snprintf(text, size, "%s", NotKnown());
    else
        std::snprintf(text, size, "%d.%d%%", tenths / 10, tenths % 10);
}

void FormatCpu(const SystemFigures &figures, char *text, size_t size)
{
    FormatTenths(figures.sample.busyTenths, text, size);
}

void FormatKernel(const SystemFigures &figures, char *text, size_t size)
{
    FormatTenths(figures.sample.kernelTenths, text, size);
}

// "in use / total", both in grouped kilobytes.
void FormatPair(bool known, ULONGLONG used, ULONGLONG total, char *text, size_t size)
{
    if (!known) {
        std::snprintf(text, size, "%s", NotKnown());
        return;
    }
    char usedText[64], totalText[64];
    FormatKilobytes(used, usedText, sizeof usedText);
    FormatKilobytes(total, totalText, sizeof totalText);
    std::snprintf(text, size, ResText(IDS_SYSINFO_OF), usedText, totalText);
}

void FormatCommit(const SystemFigures &figures, char *text, size_t size)
{
    FormatPair(figures.memoryKnown, figures.sample.commitBytes, figures.sample.commitLimitBytes,
               text, size);
}

void FormatPhysical(const SystemFigures &figures, char *text, size_t size)
{
    FormatPair(figures.memoryKnown, figures.physicalUsedBytes, figures.physicalTotalBytes, text,
               size);
}

void FormatTotal(bool known, ULONGLONG value, char *text, size_t size)
{
    if (known)
        FormatGroupedNumber(value, text, size);
    else
        std::snprintf(text, size, "%s", NotKnown());
}

void FormatProcesses(const SystemFigures &figures, char *text, size_t size)
{
    FormatTotal(figures.totals.known, figures.totals.processes, text, size);
}

void FormatThreads(const SystemFigures &figures, char *text, size_t size)
{
    FormatTotal(figures.totals.known, figures.totals.threads, text, size);
}

void FormatHandles(const SystemFigures &figures, char *text, size_t size)
{
    FormatTotal(figures.totals.known && figures.totals.handlesKnown, figures.totals.handles, text,
                size);
}

// d:hh:mm:ss
void FormatUpTime(const SystemFigures &figures, char *text, size_t size)
{
    const ULONGLONG seconds = figures.upTimeMs / 1000;
    std::snprintf(text, size, "%llu:%02u:%02u:%02u", seconds / 86400,
                  static_cast<unsigned>(seconds / 3600 % 24),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
}

struct FigureRow {
    int label;
    int value;
    void (*format)(const SystemFigures &figures, char *text, size_t size);
};
const FigureRow kFigures[] = {
    {IDC_SYSINFO_LABEL_CPU, IDC_SYSINFO_VALUE_CPU, FormatCpu},
    {IDC_SYSINFO_LABEL_KERNEL, IDC_SYSINFO_VALUE_KERNEL, FormatKernel},
    {IDC_SYSINFO_LABEL_COMMIT, IDC_SYSINFO_VALUE_COMMIT, FormatCommit},
    {IDC_SYSINFO_LABEL_PHYSICAL, IDC_SYSINFO_VALUE_PHYSICAL, FormatPhysical},
    {IDC_SYSINFO_LABEL_PROCESSES, IDC_SYSINFO_VALUE_PROCESSES, FormatProcesses},
    {IDC_SYSINFO_LABEL_THREADS, IDC_SYSINFO_VALUE_THREADS, FormatThreads},
    {IDC_SYSINFO_LABEL_HANDLES, IDC_SYSINFO_VALUE_HANDLES, FormatHandles},
    {IDC_SYSINFO_LABEL_UPTIME, IDC_SYSINFO_VALUE_UPTIME, FormatUpTime},
};

void Place(HWND dialog, int control, int x, int y, int width, int height)
{
    SetWindowPos(GetDlgItem(dialog, control), nullptr, x, y, width > 0 ? width : 0,
                 height > 0 ? height : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The graphs take what the figures column leaves of the client area.
void LayOut(DialogHost *host, bool)
{
    HWND dialog = host->dialog;
    RECT units = {kMargin, kGap, kLabelWidth, kValueWidth};
    RECT heights = {kCaptionHeight, kRowHeight, 0, 0};
    MapDialogRect(dialog, &units);
    MapDialogRect(dialog, &heights);
    const int margin = units.left, gap = units.top, labelWidth = units.right;
    const int valueWidth = units.bottom, captionHeight = heights.left, rowHeight = heights.top;
    RECT client;
    GetClientRect(dialog, &client);

    const int figuresLeft = client.right - margin - labelWidth - valueWidth;
    for (int i = 0; i < static_cast<int>(sizeof kFigures / sizeof kFigures[0]); ++i) {
        const int top = margin + i * rowHeight;
        Place(dialog, kFigures[i].label, figuresLeft, top, labelWidth, rowHeight);
        Place(dialog, kFigures[i].value, figuresLeft + labelWidth, top, valueWidth, rowHeight);
    }
    const int graphWidth = figuresLeft - 2 * margin;
    const int block = (client.bottom - 2 * margin - gap * (kGraphCount - 1)) / kGraphCount;
    for (int i = 0; i < kGraphCount; ++i) {
        const int top = margin + i * (block + gap);
        Place(dialog, kGraphs[i].caption, margin, top, graphWidth, captionHeight);
        Place(dialog, kGraphs[i].graph, margin, top + captionHeight, graphWidth,
              block - captionHeight);
    }
}

void ShowFigures(DialogHost *host, const SystemFigures &figures)
{
    for (const FigureRow &row : kFigures) {
        char text[128];
        row.format(figures, text, sizeof text);
        SetDlgItemTextA(host->dialog, row.value, text);
    }
    for (const GraphPlace &graph : kGraphs)
        InvalidateRect(GetDlgItem(host->dialog, graph.graph), nullptr, FALSE);
}

// First fill and F5: the figures read now, the graphs as the sampler left them.
void Refresh(DialogHost *host)
{
    ShowFigures(host, RefreshSystemFigures());
}

// No control of the view takes keys: the focus rests on a static control, which ignores them.
// The modal loop's message filter hands the view's keys to the host instead.
DialogHost *g_openView;
HHOOK g_keyFilter;

LRESULT CALLBACK FilterViewKeys(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *message = reinterpret_cast<const MSG *>(lParam);
    if (code == MSGF_DIALOGBOX && g_openView && message->message == WM_KEYDOWN &&
        (message->hwnd == g_openView->dialog || IsChild(g_openView->dialog, message->hwnd)) &&
        HandleViewKey(g_openView, static_cast<UINT>(message->wParam)))
        return TRUE;
    return CallNextHookEx(g_keyFilter, code, wParam, lParam);
}

void InitSystemInfo(DialogHost *host)
{
    LayOut(host, false);
    g_openView = host;
    g_keyFilter = SetWindowsHookExA(WH_MSGFILTER, FilterViewKeys, nullptr, GetCurrentThreadId());
}

void EndSystemInfo(DialogHost *)
{
    if (g_keyFilter)
        UnhookWindowsHookEx(g_keyFilter);
    g_keyFilter = nullptr;
    g_openView = nullptr;
}

void WriteShare(FILE *file, int tenths)
{
    if (tenths < 0)
        std::fprintf(file, "\t%s", NotKnown());
    else
        std::fprintf(file, "\t%d.%d", tenths / 10, tenths % 10);
}

// The figures as "label<TAB>value" lines, then the history, oldest sample first.
void SaveSystemInfo(DialogHost *host)
{
    FILE *file = OpenSaveFile(host->dialog);
    if (!file)
        return;
    for (const FigureRow &row : kFigures) {
        char label[64] = "", value[128] = "";
        GetDlgItemTextA(host->dialog, row.label, label, sizeof label);
        GetDlgItemTextA(host->dialog, row.value, value, sizeof value);
        std::fprintf(file, "%s\t%s\n", label, value);
    }
    std::fprintf(file, "\n%s\n", ResText(IDS_HDR_SYSINFO_SAMPLES));
    const SampleRing &history = SystemHistory();
    for (size_t n = 1; n <= history.count; ++n) {
        const SystemSample &sample = *SampleAt(history, history.count - n);
        std::fprintf(file, "%u", static_cast<unsigned>(n));
        WriteShare(file, sample.busyTenths);
        WriteShare(file, sample.kernelTenths);
        std::fprintf(file, "\t%llu\t%llu\n", sample.commitBytes / 1024,
                     sample.commitLimitBytes / 1024);
    }
    CloseSaveFile(host->dialog);
}

bool DrawGraph(const DRAWITEMSTRUCT &item)
{
    for (const GraphPlace &graph : kGraphs)
        if (item.CtlID == static_cast<UINT>(graph.graph)) {
            DrawHistoryGraph(item.hDC, item.rcItem, graph.kind, kSecondPixels,
                             GetDeviceCaps(item.hDC, LOGPIXELSY));
            return true;
        }
    return false;
}

bool SystemInfoMessage(DialogHost *, UINT message, WPARAM, LPARAM lParam)
{
    return message == WM_DRAWITEM && DrawGraph(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
}

const DialogSpec kSystemInfoView = {
    .resizable = true,
    .init = InitSystemInfo,
    .fill = Refresh,
    .save = SaveSystemInfo,
    .size = LayOut,
    .message = SystemInfoMessage,
    .destroy = EndSystemInfo,
};

} // namespace

LRESULT OnSystemInfoCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenView(g_mainWindow, IDD_SYSTEMINFO, &kSystemInfoView);
    return 0;
}

void ShowSystemSample()
{
    if (g_openView)
        ShowFigures(g_openView, LatestSystemFigures());
}

void FormatGraphTip(const SystemFigures &figures, char *text, size_t size)
{
    char cpu[32], commit[128];
    FormatCpu(figures, cpu, sizeof cpu);
    FormatCommit(figures, commit, sizeof commit);
    std::snprintf(text, size, ResText(IDS_STATUS_GRAPH_TIP), cpu, commit);
}
