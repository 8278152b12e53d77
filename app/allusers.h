// Restarting the program with administrator rights: offered in the File menu while the program
// runs with a limited token an administrator could elevate. The new instance is told which
// window it replaces and a key that window holds while it waits; when the window confirms the
// key, the new instance starts despite the single-instance rule, and tells that window to end
// once its own exists. While it waits, the command is disabled.
#pragma once
#include <windows.h>

const UINT WM_TAKENOVER = WM_USER + 20;     // from the new instance: its main window exists
const UINT WM_TAKEOVERCHECK = WM_USER + 21; // from the new instance: is this key yours? (1: yes)
const UINT_PTR kTakeoverTimerId = 102;  // how long a started instance is waited for

// Adds "Show Processes from All Users" (with the shield) to the File menu when it is worth it.
void OfferAllUsers(HMENU menu);
LRESULT OnAllUsersCommand(HWND window, WPARAM, WORD, LPARAM);
// The new instance was started with `key`: `window` waits for it, with the command disabled.
bool AwaitTakeover(HWND window, DWORD key);
// The wait for the new instance is over: this window stays.
void EndTakeoverWait(HWND window);
// Both messages carry the key in lParam; only the key of the running wait counts.
LRESULT OnTakeoverCheck(HWND window, UINT, WPARAM, LPARAM lParam);
LRESULT OnTakenOver(HWND window, UINT, WPARAM, LPARAM lParam);

struct TakeoverClaim {
    HWND window; // null: no claim
    DWORD key;
};
// The first argument after the program's name, which may be quoted; null when there is none.
const char *FirstArgument(const char *commandLine);
// The window and key of a well-formed switch given as the whole first argument; false otherwise.
bool ParseTakeoverSwitch(const char *commandLine, TakeoverClaim *claim);
// The claim of the command line's switch when it names a main window of this program that
// confirms the key; an empty claim otherwise.
TakeoverClaim ConfirmedTakeover(const char *commandLine);
