#include "views/threads.h"

#include "app/appstate.h"
#include "providers/fill.h"
#include "resource.h"
#include "settings/settings.h"
#include "views/host.h"

namespace {

const int kThreadTabs[] = {40};

void FillThreadsView(ViewHost *host)
{
    FillThreadList(host->list, CurrentProcessId);
}

const ViewLayout kThreadsView = {
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
    OpenProcessView(IDD_THREADS, g_titleThreads, &kThreadsView);
    return 0;
}
