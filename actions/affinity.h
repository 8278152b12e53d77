// Set Affinity (NT family): a check box for each processor the system lets the selected process
// use, the ones it may run on now checked; OK gives it the checked ones.
#pragma once
#include <windows.h>

// As many processors as a mask has bits: 64 in the 64-bit build, 32 in the 32-bit one.
const int kMaxAffinityBoxes = static_cast<int>(sizeof(DWORD_PTR) * 8);

// The processors `mask` names, lowest first, into `processors`; how many.
int ProcessorsOfMask(DWORD_PTR mask, int (&processors)[kMaxAffinityBoxes]);
// The mask of the processors whose boxes are checked (`processors` as ProcessorsOfMask gave them).
DWORD_PTR MaskOfChecked(const int *processors, const bool *checked, int count);

// Command 40091: reads the process's mask and the system's (a refusal is told with the system's
// reason), then opens the Processor Affinity dialog. OK with no box checked is refused and the
// dialog stays; otherwise the checked mask is set unless the process ended meanwhile, and a
// failure is told with the system's reason.
LRESULT OnAffinityCommand(HWND window, WPARAM, WORD, LPARAM);
