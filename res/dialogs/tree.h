/* Identifiers of the process tree view. */
#define IDD_PROCESSTREE             118
#define IDC_PROCESSTREE_TREE        1034
