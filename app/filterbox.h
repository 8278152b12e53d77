// The filter box at the right end of the main toolbar: typing in it filters the main list after
// a short pause, Escape empties it, and while it has the focus it keeps the keys it edits with.
#pragma once
#include <windows.h>

const int kFilterEditId = 134;
const UINT_PTR kFilterTimerId = 101; // one-shot: the pause after the last key
const UINT kFilterDelayMs = 200;

// Creates the box on the toolbar, or moves it there from the toolbar it was on, keeping its text.
void PlaceFilterBox(HWND toolbar);
// Keeps the box at the toolbar's right end; `width` is the toolbar's width.
void LayoutFilterBox(int width, int toolbarHeight);
HWND FilterBox();
// Puts the focus in the box, its text selected.
void FocusFilterBox();
// The box's text, taken as the list's filter; the pause timer is stopped.
void TakeFilterText(HWND window);
// Whether the message is a key the box keeps from the main accelerators: while it has the focus
// only F1, F5 and Ctrl+Q are commands, every other key edits.
bool FilterBoxKeepsKey(const MSG &msg);
