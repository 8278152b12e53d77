/* Identifiers of the priority dialog. */
#define IDD_PRIORITY                110
#define IDC_PRIORITY_CLASS          1017 /* drop-down list of the priority classes */
