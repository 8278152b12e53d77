// The main list as a tree: the image place that holds each parent's glyph, the keys and clicks
// that open and close branches, and the switch between the tree and the flat list. The rows
// themselves come from the process table in tree mode.
#pragma once
#include <windows.h>

// Lets the list's keys and clicks work the tree: Left closes a branch or goes to the parent,
// Right opens one or goes to the first child, * on the keypad opens the whole branch, + and -
// open and close, a click on a glyph opens or closes its branch. Nothing changes in the flat
// list.
void AttachTreeKeys(HWND list);
// Shows the rows as a tree or as the flat list.
void ShowTree(HWND list, bool on);
// The same for the main list (only its mode before it exists).
void ShowMainTree(bool on);
// What a tree key does to the focused row; true when the key belongs to the tree.
bool TreeKey(HWND list, UINT key);
