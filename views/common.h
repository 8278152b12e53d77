// What every detail view shares: how it learns what to show, its title, the header line above
// its list, resizing, keys, saving, automatic refresh and closing. A list-box view is described
// by a constant ListViewSpec and run by ListViewDialogProc.
#pragma once
#include <windows.h>

#include "app/dialogs.h"

const UINT_PTR ViewRefreshTimer = 100;

struct ListViewSpec {
    int listId;
    int headerId;       // read-only edit above the list; 0 = none
    UINT headerString;  // column titles
    int tabCount;
    const int *tabs;    // dialog units
    const int *refreshSeconds; // setting with the automatic refresh interval; null = none
    bool resizable;
    bool besideNameColumn;
    bool setTitle;      // take the caption from ViewTitle
    void (*fill)(HWND dialog, HWND list);
    void (*save)(HWND dialog, HWND list);  // null = SaveListBox
    // View-specific messages, seen before the shared handling; returns true when it handled the
    // message and *result holds the answer.
    bool (*extra)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
};

// Per-dialog state of a list view, kept in DWLP_USER.
struct ViewState {
    const ListViewSpec *layout;
    HWND list;
    RECT savedClient;
    bool timerStarted;
};
ViewState *GetViewState(HWND dialog);

void SetupColumnHeader(HWND dialog, int listId, int headerId, UINT stringId, int tabCount,
                       const int *tabs);
void FollowDialogSize(HWND dialog, HWND control, int width, int height, RECT *savedClient);
void PlaceBesideNameColumn(HWND dialog);

// Opens a per-process list view for the selected process; nothing opens without one.
INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const ListViewSpec *layout);

INT_PTR CALLBACK ListViewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Handles F5, F2 and Ctrl+S for a view; true when the key did something.
bool HandleViewKey(HWND dialog, UINT key);
