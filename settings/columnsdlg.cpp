#include "settings/columnsdlg.h"

#include "app/appstate.h"
#include "app/columns.h"
#include "app/dialogs.h"
#include "app/processlist.h"
#include "resource.h"
#include "settings/settings.h"

namespace {

// The dialog's parameter: the mask it starts from, and what OK chose.
INT_PTR CALLBACK SelectColumnsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (EndDialogOn(dialog, message, wParam, kCancelEnds))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        ApplyDbcsFont(dialog);
        const unsigned mask = *reinterpret_cast<unsigned *>(lParam);
        for (int i = 0; i < kExtraColumnCount; ++i)
            CheckDlgButton(dialog, IDC_COLUMN_FIRST + i, (mask >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND: {
        if (LOWORD(wParam) != IDOK)
            return FALSE;
        unsigned mask = 0;
        for (int i = 0; i < kExtraColumnCount; ++i)
            if (IsDlgButtonChecked(dialog, IDC_COLUMN_FIRST + i) == BST_CHECKED)
                mask |= 1u << i;
        *reinterpret_cast<unsigned *>(GetWindowLongPtrA(dialog, DWLP_USER)) = mask;
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    }
    return FALSE;
}

} // namespace

LRESULT OnSelectColumns(HWND window, WPARAM, WORD, LPARAM)
{
    unsigned mask = g_extraColumns;
    if (DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_COLUMNS), window, SelectColumnsProc,
                        reinterpret_cast<LPARAM>(&mask)) != IDOK)
        return 0;
    if (g_processList)
        ShowExtraColumns(g_processList, mask);
    else
        SetExtraColumns(mask);
    SaveSettings();
    return 0;
}
