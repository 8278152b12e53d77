#include "views/threads.h"

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/settings.h"
#include "providers/fill.h"
#include "resource.h"

namespace {

const int kThreadTabs[] = {40};

void FillThreadsView(DialogHost *host)
{
    ListLines lines;
    FillThreadList(CurrentProcessId(host), &lines);
    ShowListLines(host->list, lines, true);
}

const DialogSpec kThreadsView = {
    .listId = IDC_THREAD_LIST,
    .headerId = IDC_THREAD_HEADER,
    .headerString = IDS_HDR_THREADS,
    .tabCount = 1,
    .tabs = kThreadTabs,
    .refreshSeconds = &g_settings.threadRefresh,
    .resizable = true,
    .setTitle = true,
    .fill = FillThreadsView,
};

} // namespace

LRESULT OnThreadsCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenProcessView(IDD_THREADS, ResText(IDS_TITLE_THREADS), &kThreadsView);
    return 0;
}
