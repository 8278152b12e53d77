#include "settings/columnsdlg.h"

#include "core/columns.h"
#include "core/dialoghost.h"
#include "core/processlist.h"
#include "core/settings.h"
#include "resource.h"

namespace {

// Each extra column's check box, in the columns' order.
const int kColumnBoxes[kExtraColumnCount] = {
    IDC_COLUMN_FIRST,       IDC_COLUMN_FIRST + 1, IDC_COLUMN_FIRST + 2,  IDC_COLUMN_FIRST + 3,
    IDC_COLUMN_FIRST + 4,   IDC_COLUMN_FIRST + 5, IDC_COLUMN_FIRST + 6,  IDC_COLUMN_FIRST + 7,
    IDC_COLUMN_FIRST + 8,   IDC_COLUMN_FIRST + 9, IDC_COLUMN_PARENTID,   IDC_COLUMN_DESCRIPTION,
    IDC_COLUMN_COMPANY,     IDC_COLUMN_SERVICES};

// The dialog's state: the mask it starts from, and what OK chose.
void InitColumnsDialog(DialogHost *host)
{
    const unsigned mask = *HostState<unsigned>(host);
    for (int i = 0; i < kExtraColumnCount; ++i)
        CheckDlgButton(host->dialog, kColumnBoxes[i], (mask >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
}

bool ColumnsDialogMessage(DialogHost *host, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDOK)
        return false;
    unsigned mask = 0;
    for (int i = 0; i < kExtraColumnCount; ++i)
        if (IsDlgButtonChecked(host->dialog, kColumnBoxes[i]) == BST_CHECKED)
            mask |= 1u << i;
    *HostState<unsigned>(host) = mask;
    EndHostedDialog(host, IDOK);
    return true;
}

const DialogSpec kColumnsDialog = {.init = InitColumnsDialog, .message = ColumnsDialogMessage};

} // namespace

LRESULT OnSelectColumns(HWND window, WPARAM, WORD, LPARAM)
{
    unsigned mask = g_extraColumns;
    if (OpenView(window, IDD_COLUMNS, &kColumnsDialog, &mask) != IDOK)
        return 0;
    ShowMainExtraColumns(mask);
    CaptureMainListWidths();
    SaveSettings();
    return 0;
}
