// The one dialog host every dialog of the program runs in, the detail views and the small
// dialogs alike. The host does what they share: the font, the place beside the main list's names,
// the caption, the column header, the list following the dialog's size, F5, F2 and Ctrl+S, the
// automatic refresh and ending. A dialog is a constant DialogSpec: where its controls are, the
// commands that end it, the hooks for what is its own; the state it works on is handed in by the
// code that opens it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "core/dialogs.h"

const UINT_PTR ViewRefreshTimer = 100;

struct DialogSpec;

// One open dialog. It lives on the stack of OpenView for as long as the dialog does; a modeless
// one's on the heap, until its window is gone.
struct DialogHost {
    const DialogSpec *desc; // what the dialog is and does
    void *state;       // the dialog's own state, handed to OpenView; may be null
    ViewSubject subject; // the process and caption it was opened for, its own copy
    HWND dialog;
    HWND list;         // the control that shows the view's lines; null when it has none
    RECT savedClient;  // client area at the last resize
    bool timerStarted;
    bool ended;        // EndDialog was called; a second close asks nothing more
    bool modeless;     // opened by OpenModelessView: ending destroys the window
};

template <class T> T *HostState(const DialogHost *host)
{
    return static_cast<T *>(host->state);
}

// The process the view was opened for; every refresh reads it from here.
inline DWORD CurrentProcessId(const DialogHost *host)
{
    return host->subject.process.id;
}

// A dialog: every member may be left out. Hooks run in the dialog's thread with the open dialog.
struct DialogSpec {
    int listId = 0;                      // the list control; 0 = none in the template
    int headerId = 0;                    // read-only edit above the list; 0 = none
    UINT headerString = 0;               // column titles
    int tabCount = 0;
    const int *tabs = nullptr;           // dialog units, for the list and the header
    const int *refreshSeconds = nullptr; // setting with the automatic refresh interval; null = none
    bool resizable = false;              // the list keeps its right and bottom margins
    bool besideNameColumn = false;       // else placed where the template says
    bool setTitle = false;               // caption from the subject's title, else the template's
    // Commands that end the dialog with their own identifier as its result, 0-terminated;
    // Escape (IDCANCEL) and the close box end every dialog.
    const int *endings = nullptr;

    // After the shared set-up, before the first fill.
    void (*init)(DialogHost *host) = nullptr;
    // The first fill; also F5 and the refresh timer unless `refresh` or `tick` is given.
    void (*fill)(DialogHost *host) = nullptr;
    void (*refresh)(DialogHost *host) = nullptr; // F5
    void (*tick)(DialogHost *host) = nullptr;    // the refresh timer
    void (*save)(DialogHost *host) = nullptr;    // F2 and Ctrl+S; null = the list box as shown
    void (*open)(DialogHost *host) = nullptr;    // double click on a line of the list box
    // After the list followed a new dialog size; `listResized` tells whether its size changed.
    void (*size)(DialogHost *host, bool listResized) = nullptr;
    // WM_NOTIFY; true when the dialog handled it.
    bool (*notify)(DialogHost *host, const NMHDR *header) = nullptr;
    // Any other message the host leaves alone (control commands, posted events); true when the
    // dialog handled it.
    bool (*message)(DialogHost *host, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
    // Escape (IDCANCEL); true when the dialog handled it and stays open. Null: Escape ends it.
    bool (*cancel)(DialogHost *host) = nullptr;
    // WM_DESTROY, while the controls still exist.
    void (*destroy)(DialogHost *host) = nullptr;
};

// Runs the dialog modally over `owner` with `state` as its state and a copy of `subject` (none
// when null); returns the dialog's result (0 for the close box, IDCANCEL for Escape, else the
// result it was ended with).
INT_PTR OpenView(HWND owner, int templateId, const DialogSpec *desc, void *state = nullptr,
                 const ViewSubject *subject = nullptr);
// Opens the dialog without a loop of its own, beside `owner`, and returns its window (null when
// it could not be made). Only one dialog of each DialogSpec is open at a time: when one is open
// already, it is brought forward instead.
HWND OpenModelessView(HWND owner, int templateId, const DialogSpec *desc, void *state = nullptr);
// The open modeless dialog of `desc`; null when none is.
HWND FindModelessView(const DialogSpec *desc);
// For the program's message loop: true when `msg` was for an open modeless dialog and was handled
// by it as a dialog handles its keys (Tab, Enter, Escape, F5, F2 and Ctrl+S).
bool HandleModelessMessage(MSG *msg);
// Opens a per-process view over the main window for the selected process, captioned prefix + its
// name; nothing opens without one.
INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const DialogSpec *desc,
                        void *state = nullptr);
// The place of a window of `window`'s size and position inside the work area `work`: as large
// as it is and no larger than the work area, moved the least that brings it inside. Views that
// lose width scroll their lists; a dialog without a frame to size is laid out to fit.
RECT FittedWindowRect(const RECT &window, const RECT &work);
// Moves and shrinks `window` into the work area of its screen; every hosted dialog is fitted
// once it is laid out.
void FitToWorkArea(HWND window);

// Ends the dialog with `result` (once: later calls do nothing) and stops its refresh timer.
void EndHostedDialog(DialogHost *host, INT_PTR result);

// Handles F5, F2 and Ctrl+S for a view; true when the key did something.
bool HandleViewKey(DialogHost *host, UINT key);
// Starts (again) or stops the view's refresh timer.
void StartViewTimer(DialogHost *host, UINT milliseconds);
void StopViewTimer(DialogHost *host);
