// The expand and collapse glyph of a process with processes below it in the main list's tree: the
// theme's tree glyph where a visual style draws the window, else a small box with a plus or a
// minus, as tree views draw it without one.
#pragma once
#include <windows.h>

// Draws the glyph centred in `cell` (the row's image place) of the list `list`: open (minus)
// when `expanded`, closed (plus) otherwise.
void DrawTreeGlyph(HWND list, HDC dc, const RECT &cell, bool expanded);
// Forgets the theme's data, after the theme changed or before the list goes.
void ForgetTreeGlyphTheme();
