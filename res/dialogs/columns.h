/* Identifiers of the dialog that chooses the extra columns of the main list. */
#define IDD_COLUMNS                 125

/* One check box per extra column, in the columns' order */
#define IDC_COLUMN_FIRST            1060 /* CPU; the others follow, up to 1069 */
/* The later extra columns' boxes, outside that run */
#define IDC_COLUMN_PARENTID         1120
#define IDC_COLUMN_DESCRIPTION      1121
#define IDC_COLUMN_COMPANY          1122
#define IDC_COLUMN_SERVICES         1123
