#include "views/threads.h"

#include "app/appstate.h"
#include "providers/fill.h"
#include "resource.h"
#include "settings/settings.h"
#include "views/common.h"

namespace {

const int kThreadTabs[] = {40};

void FillThreadsView(HWND, HWND list)
{
    FillThreadList(list, CurrentProcessId);
}

const ListViewSpec kThreadsView = {
    IDC_THREAD_LIST,
    IDC_THREAD_HEADER,
    IDS_HDR_THREADS,
    1,
    kThreadTabs,
    &g_settings.threadRefresh,
    true,  // resizable: the list keeps its right and bottom margins
    false, // placed where the template says
    true,  // caption from ViewTitle
    FillThreadsView,
    nullptr, // saved as shown
    nullptr,
};

} // namespace

LRESULT OnThreadsCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenProcessView(IDD_THREADS, g_titleThreads, &kThreadsView);
    return 0;
}
