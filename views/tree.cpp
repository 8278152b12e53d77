#include "views/tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/mainwindow.h"
#include "core/processlist.h"
#include "core/save.h"
#include "core/settings.h"
#include "resource.h"

namespace {

// The view's own state while it is open.
struct TreeView {
    int busy; // above 0 while the view fills the tree itself: selection changes are its own
};

TreeView *GetTreeView(const DialogHost *host)
{
    return HostState<TreeView>(host);
}

// "name (id)" in at most MAX_PATH - 1 characters. A long name is cut, never the identifier,
// so the number after the last "(" is always the process's.
void FormatTreeLabel(const ProcessRecord *record, char *label)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, g_settings.hexProcessId ? " (%lx)" : " (%lu)",
                  static_cast<unsigned long>(record->id));
    const size_t room = MAX_PATH - 1 - std::strlen(suffix);
    const char *name = record->name;
    const char *end = name;
    while (*end && static_cast<size_t>(NextChar(end) - name) <= room)
        end = NextChar(end);
    const size_t length = static_cast<size_t>(end - name);
    std::memcpy(label, name, length);
    std::strcpy(label + length, suffix);
}

HTREEITEM PlaceRecord(ProcessRecord *record, HWND tree, HTREEITEM parent, DWORD selectId, int depth)
{
    char label[MAX_PATH];
    FormatTreeLabel(record, label);
    record->flags |= RecordSeen;
    return InsertTreeItem(tree, parent, record->id == selectId, label, depth);
}

// Refills the tree selecting `selectId`, with the view's own selection changes ignored.
void RefillTree(DialogHost *host, DWORD selectId)
{
    TreeView *view = GetTreeView(host);
    ++view->busy;
    FillProcessTree(host->list, selectId);
    --view->busy;
}

// Opening: a frozen main list is brought up to date first, and then held still while the view
// is open.
void InitTreeView(DialogHost *host)
{
    TreeView *view = GetTreeView(host);
    ++view->busy;
    if (MainListHeld())
        RefreshMain();
    --view->busy;
    HoldMainList(true);
}

void FillTreeView(DialogHost *host)
{
    RefillTree(host, CurrentProcessId);
}

// F5: the main list is refreshed, then the tree is built from it again.
void RefreshTreeView(DialogHost *host)
{
    TreeView *view = GetTreeView(host);
    ++view->busy;
    RefreshMainKeepingFilter();
    CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    FillProcessTree(host->list, CurrentProcessId);
    --view->busy;
}

void SaveTree(DialogHost *host)
{
    if (!OpenSaveFile(host->dialog))
        return;
    CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    RefillTree(host, CurrentProcessId); // every item inserted is also written to the file
    CloseSaveFile(host->dialog);
}

void OnTreeSelection(const DialogHost *host, HTREEITEM item)
{
    if (GetTreeView(host)->busy > 0 || !item)
        return;
    char text[MAX_PATH];
    GetTreeItemText(host->list, item, text, sizeof text);
    const char *open = FindLastChar(text, '(');
    if (!open || !open[1])
        return;
    const unsigned long id = std::strtoul(open + 1, nullptr, g_settings.hexProcessId ? 16 : 10);
    SelectProcessById(static_cast<DWORD>(id));
}

bool OnTreeNotify(DialogHost *host, const NMHDR *header)
{
    if (header->hwndFrom != host->list)
        return false;
    if (header->code == TVN_SELCHANGEDA)
        OnTreeSelection(host, reinterpret_cast<const NMTREEVIEWA *>(header)->itemNew.hItem);
    else if (header->code == TVN_KEYDOWN)
        HandleViewKey(host, reinterpret_cast<const NMTVKEYDOWN *>(header)->wVKey);
    return true;
}

void CloseTreeView(DialogHost *host)
{
    ++GetTreeView(host)->busy; // the items go with the tree; that is no choice of the user's
    HoldMainList(false);
}

const DialogSpec kTreeView = {
    .listId = IDC_PROCESSTREE_TREE,
    .resizable = true,
    .besideNameColumn = true,
    .setTitle = true,
    .init = InitTreeView,
    .fill = FillTreeView,
    .refresh = RefreshTreeView,
    .save = SaveTree,
    .notify = OnTreeNotify,
    .destroy = CloseTreeView,
};

} // namespace

LRESULT OnProcessTreeCommand(HWND window, WPARAM, WORD, LPARAM)
{
    lstrcpynA(ViewTitle, ResText(IDS_TITLE_PROCESSTREE), MAX_PATH);
    CurrentProcessId = GetSelectedProcess(g_processList, nullptr, 0);
    TreeView view = {};
    OpenView(window, IDD_PROCESSTREE, &kTreeView, &view);
    return 0;
}

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, bool select, const char *text, int depth)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_STATE;
    insert.item.state = TVIS_EXPANDED;
    insert.item.stateMask = TVIS_EXPANDED;
    insert.item.pszText = const_cast<char *>(text);
    const HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item && select)
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    if (g_saveFile)
        std::fprintf(g_saveFile, "%*s%s\n", depth * 2, "", text);
    return item;
}

bool GetTreeItemText(HWND tree, HTREEITEM item, char *buffer, int size)
{
    TVITEMA read = {};
    read.mask = TVIF_TEXT | TVIF_CHILDREN;
    read.hItem = item;
    read.pszText = buffer;
    read.cchTextMax = size;
    if (size > 0)
        buffer[0] = '\0';
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)))
        return false;
    return read.cChildren != 0;
}

void AddTreeBranch(ProcessRecord *record, HWND tree, HTREEITEM parent, DWORD selectId, int depth)
{
    if (!record || (record->flags & RecordSeen))
        return;
    // Walked with an explicit stack: a long chain of parents must not run the stack out.
    struct Level {
        const ProcessRecord *record;
        HTREEITEM item;
        const ProcessRecord *next; // where the search for this record's next child goes on
    };
    std::vector<Level> levels;
    levels.push_back({record, PlaceRecord(record, tree, parent, selectId, depth), record});
    while (!levels.empty()) {
        Level &level = levels.back();
        ProcessRecord *child = const_cast<ProcessRecord *>(level.next);
        while (child && ((child->flags & RecordSeen) || child->parentId != level.record->id))
            child = child->prev;
        if (!child) {
            levels.pop_back();
            continue;
        }
        level.next = child->prev;
        const int childDepth = depth + static_cast<int>(levels.size());
        const HTREEITEM item = PlaceRecord(child, tree, level.item, selectId, childDepth);
        levels.push_back({child, item, child});
    }
}

int FillProcessTree(HWND tree, DWORD selectId)
{
    if (!g_recordHead || !tree)
        return 1;
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    ProcessRecord *oldest = g_recordHead;
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        record->flags &= ~RecordSeen;
        oldest = record;
    }
    for (ProcessRecord *record = oldest; record; record = record->prev) {
        if (!(record->flags & RecordSeen))
            AddTreeBranch(record, tree, TVI_ROOT, selectId, 0);
    }
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    const LPARAM selected = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (selected)
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, selected);
    return 1;
}
