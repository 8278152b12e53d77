/* Identifiers of the Run dialog. */
#define IDD_RUN                     128
#define IDC_RUN_COMMAND             1100 /* editable combo box: the command and the last ones run */
#define IDC_RUN_BROWSE              1101
#define IDC_RUN_ADMIN               1102 /* "runas" verb; hidden before Windows Vista */
