/* Identifiers of the module-usage view. */
#define IDD_MODULEUSAGE             119
#define IDC_USAGE_LIST              1052
#define IDC_USAGE_HEADER            1051
