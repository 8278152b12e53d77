// Lengths the program is laid out in are pixels of a 96-dpi screen: column widths (also the
// stored ones), toolbar and status-bar sizes. These convert them to and from the pixels of the
// screen the program runs on.
#pragma once

// Dots per inch of the main window's screen; 96 until the window knows better.
extern int g_screenDpi;

// The DPI a screen may claim, from a quarter scale to ten times; anything outside is taken as
// the nearest of these, so that no length scales to nothing or to a huge size.
const int kMinDpi = 48;
const int kMaxDpi = 960;
int ClampDpi(int dpi);
// A step of a 96-dpi length (a grid cell, a pen, a distance between samples) at `dpi`, clamped:
// never less than one pixel, so that a loop that walks by it ends.
int ScaleStep(int value, int dpi);

// A 96-dpi length in pixels at `dpi`, rounded to the nearest pixel.
int ScaleFrom96(int value, int dpi);
// Pixels at `dpi` as a 96-dpi length; undoes ScaleFrom96 exactly for any dpi of 96 or more.
int ScaleTo96(int value, int dpi);
// The smallest of `sizes` (ascending) at least as large as `wanted`; the largest when none is.
int NearestImageSize(const int *sizes, int count, int wanted);
