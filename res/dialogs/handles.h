/* Identifiers of the Handles view and of Find Handle or DLL. */
#define IDD_HANDLES                 129
#define IDD_FINDHANDLE              130
#define IDC_HANDLES_LIST            1130
#define IDC_HANDLES_UNNAMED         1131
#define IDC_HANDLES_NOTE            1132 /* the line that says why no handle is listed */
#define IDC_FIND_LABEL              1140
#define IDC_FIND_TEXT               1141
#define IDC_FIND_SEARCH             1142
#define IDC_FIND_CANCEL             1143
#define IDC_FIND_STATUS             1144
#define IDC_FIND_LIST               1145

#define IDM_HANDLES                 40080 /* NT family only */
#define IDM_FINDHANDLE              40081

/* 700-749: the Handles view and Find Handle or DLL */
#define IDS_TITLE_HANDLES           700
#define IDS_HDR_HANDLES             701 /* tab-separated column titles */
#define IDS_HANDLES_DENIED          702
#define IDS_HANDLES_UNAVAILABLE     703
#define IDS_HDR_FIND                704 /* tab-separated column titles */
#define IDS_FIND_HANDLE             705 /* the Type cell of a handle: its object type */
#define IDS_FIND_DLL                706 /* the Type cell of a module */
#define IDS_FIND_PROGRESS           707 /* processes searched, then how many there are */
#define IDS_FIND_DONE               708 /* matches, then processes searched */
#define IDS_FIND_CANCELLED          709 /* matches so far */
#define IDS_FIND_NO_ROW             710 /* the process's identifier */
#define IDS_FIND_NEED_X64           711 /* the one result line of a 32-bit build on 64-bit Windows */
