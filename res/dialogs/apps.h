/* Identifiers of the applications view. */
#define IDD_APPS                    120 /* no controls: the list is created at run time */
#define IDC_APPS_LIST               101 /* list view of the top-level windows */
#define IDS_APPS_UNTITLED           499 /* item text of a window without a title */
