#include "views/tree.h"

#include <cstdio>
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
    TreeItems items;
};

// One fill of the tree: the process whose item is selected, and the processes of the items.
struct TreeFill {
    HWND tree;
    ProcessRef select;
    TreeItems *items;
};

bool IsProcess(const ProcessRecord &record, const ProcessRef &ref)
{
    return record.id == ref.id && record.kind == ref.kind &&
           (!record.createTime || !ref.createTime || record.createTime == ref.createTime);
}

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

// The item keeps the index of its process in the fill's items.
HTREEITEM PlaceRecord(ProcessRecord *record, const TreeFill &fill, HTREEITEM parent, int depth)
{
    char label[MAX_PATH];
    FormatTreeLabel(record, label);
    record->flags |= RecordSeen;
    const LPARAM index = static_cast<LPARAM>(fill.items->size());
    fill.items->push_back(RefOf(*record));
    return InsertTreeItem(fill.tree, parent, IsProcess(*record, fill.select), label, depth, index);
}

// Places `record` under `parent` at `depth`, followed by every not yet placed record that names
// it as parent and is newer than it, each with its own subtree.
void AddTreeBranch(ProcessRecord *record, const TreeFill &fill, HTREEITEM parent, int depth)
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
    levels.push_back({record, PlaceRecord(record, fill, parent, depth), record});
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
        const HTREEITEM item = PlaceRecord(child, fill, level.item, childDepth);
        levels.push_back({child, item, child});
    }
}

// Refills the tree selecting the view's process, with the view's own selection changes ignored.
void RefillTree(DialogHost *host)
{
    TreeView *view = GetTreeView(host);
    ++view->busy;
    FillProcessTree(host->list, host->subject.process, &view->items);
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

// F5: the main list is refreshed, then the tree is built from it again.
void RefreshTreeView(DialogHost *host)
{
    TreeView *view = GetTreeView(host);
    ++view->busy;
    RefreshMainKeepingFilter();
    RefillTree(host);
    --view->busy;
}

void SaveTree(DialogHost *host)
{
    if (!OpenSaveFile(host->dialog))
        return;
    RefillTree(host); // every item inserted is also written to the file
    CloseSaveFile(host->dialog);
}

// Selects the process the chosen item keeps in the main list.
void OnTreeSelection(const DialogHost *host, HTREEITEM item)
{
    const TreeView *view = GetTreeView(host);
    TVITEMA read = {};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    if (view->busy > 0 || !item ||
        !SendMessageA(host->list, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)))
        return;
    const size_t index = static_cast<size_t>(read.lParam);
    if (index < view->items.size())
        SelectProcessById(view->items[index].id);
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
    .fill = RefillTree,
    .refresh = RefreshTreeView,
    .save = SaveTree,
    .notify = OnTreeNotify,
    .destroy = CloseTreeView,
};

} // namespace

LRESULT OnProcessTreeCommand(HWND window, WPARAM, WORD, LPARAM)
{
    ViewSubject subject;
    PrepareProcessView(ResText(IDS_TITLE_PROCESSTREE), false, &subject);
    TreeView view = {};
    OpenView(window, IDD_PROCESSTREE, &kTreeView, &view, &subject);
    return 0;
}

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, bool select, const char *text, int depth,
                         LPARAM data)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
    insert.item.lParam = data;
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

int FillProcessTree(HWND tree, const ProcessRef &select, TreeItems *items)
{
    if (!g_recordHead || !tree)
        return 1;
    items->clear();
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    ProcessRecord *oldest = g_recordHead;
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        record->flags &= ~RecordSeen;
        oldest = record;
    }
    const TreeFill fill = {tree, select, items};
    for (ProcessRecord *record = oldest; record; record = record->prev) {
        if (!(record->flags & RecordSeen))
            AddTreeBranch(record, fill, TVI_ROOT, 0);
    }
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    const LPARAM selected = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (selected)
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, selected);
    return 1;
}
