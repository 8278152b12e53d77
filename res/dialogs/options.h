/* Identifiers of the options dialog. */
#define IDD_REFRESHTIMES            123

/* Refresh times: an edit field per interval, each followed by its up-down control */
#define IDC_REFRESH_MAIN            1026
#define IDC_REFRESH_THREAD          1027
#define IDC_REFRESH_MODULE          1028
#define IDC_REFRESH_MEMORY          1032
#define IDC_REFRESH_MAIN_SPIN       1040
#define IDC_REFRESH_THREAD_SPIN     1042
#define IDC_REFRESH_MODULE_SPIN     1043
#define IDC_REFRESH_MEMORY_SPIN     1044
