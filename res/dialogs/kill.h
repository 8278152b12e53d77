/* Identifiers of the kill dialog. */
#define IDD_KILL                    108
#define IDC_KILL_NOTIFY             4    /* ends the dialog asking a window to close */
#define IDC_KILL_QUESTION           1014 /* 'NAME' (ID)? set at run time */
