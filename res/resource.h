/*
 * Kelvane resource identifiers.
 *
 * Shared by the resource script and the C++ sources, so this file holds plain
 * #defines only.  Identifiers are grouped by number range; keep each new one in
 * its range so that collisions stand out.  Different resource types may share a
 * number (icon 120 and a dialog 120, bitmap 108 and a dialog 108), the same type
 * may not.
 */
#ifndef KELVANE_RESOURCE_H
#define KELVANE_RESOURCE_H

/* ------------------------------------------------------------------------
 * String table
 * ------------------------------------------------------------------------ */

/* 1-2: class and window names.  The main accelerator table is named by the
 * text of string 1 ("Kelvane"), not by a number. */
#define IDS_APPCLASS                1
#define IDS_APPTITLE                2

/* 4-8: column titles of the process list (485 holds the Name title) */
#define IDS_COL_ID                  4
#define IDS_COL_PRIORITY            5
#define IDS_COL_THREADS             6
#define IDS_COL_TYPE                7
#define IDS_COL_PATH                8

/* 9-14: titles of the extra columns of the NT family (Threads is string 6) */
#define IDS_COL_CPU                 9
#define IDS_COL_CPUTIME             10
#define IDS_COL_WORKINGSET          11
#define IDS_COL_PRIVATEBYTES        12
#define IDS_COL_HANDLES             13
#define IDS_COL_STARTED             14

/* 17-32: toolbar tooltips */
#define IDS_TIP_REFRESH             17
#define IDS_TIP_KILL                18
#define IDS_TIP_THREADS             20
#define IDS_TIP_MODULES             21
#define IDS_TIP_MEMORY              22
#define IDS_TIP_PRIORITY            23
#define IDS_TIP_FINDER              27
#define IDS_TIP_SAVE                28
#define IDS_TIP_PROCESSTREE         29
#define IDS_TIP_MODULEUSAGE         30
#define IDS_TIP_APPLICATIONS        32

/* 33: column title of the applications list */
#define IDS_COL_WINDOWTITLE         33

/* 400-405: start-up failures and process-action messages */
#define IDS_NEED_PSAPI              400
#define IDS_NOTIFY_NO_WINDOW        401 /* two spaces before "could" */
#define IDS_SWITCH_NO_WINDOW        402 /* one space before "could" */
#define IDS_CANT_TERMINATE          403
#define IDS_CANT_GET_PRIORITY       404
#define IDS_CANT_SET_PRIORITY       405

/* 408-413: priority-class names */
#define IDS_PRI_REALTIME            408
#define IDS_PRI_HIGH                409
#define IDS_PRI_NORMAL              410
#define IDS_PRI_IDLE                411
#define IDS_PRI_BELOWNORMAL         412
#define IDS_PRI_ABOVENORMAL         413

/* 416-422: thread-priority names of thread lines */
#define IDS_THREAD_LOWEST           416
#define IDS_THREAD_BELOWNORMAL      417
#define IDS_THREAD_NORMAL           418
#define IDS_THREAD_ABOVENORMAL      419
#define IDS_THREAD_HIGHEST          420
#define IDS_THREAD_TIMECRITICAL     421
#define IDS_THREAD_IDLE             422

/* 423-425: heap and heap-block flags */
#define IDS_HEAP_DEFAULT            423
#define IDS_HEAP_SHARED             424
#define IDS_HEAP_FREE               425

/* 426-427: names of processes without details */
#define IDS_NAME_UNKNOWN            426
#define IDS_NAME_ACCESSDENIED       427

/* 428-439: page-protection names of the memory map */
#define IDS_PROT_NOACCESS           428
#define IDS_PROT_READONLY           429
#define IDS_PROT_READWRITE          430
#define IDS_PROT_WRITECOPY          431
#define IDS_PROT_EXECUTE            432
#define IDS_PROT_EXECREAD           433
#define IDS_PROT_EXECRDWR           434
#define IDS_PROT_EXECWRCOPY         435
#define IDS_PROT_GUARD              436
#define IDS_PROT_ROGUARD            437
#define IDS_PROT_RWGUARD            438
#define IDS_PROT_NOCACHE            439

/* 440-449: region state and type names of the memory map (445, 446 and 449
 * double as the labels of the memory totals) */
#define IDS_MEM_COMMIT              440
#define IDS_MEM_RESERVE             441
#define IDS_MEM_DECOMMIT            442
#define IDS_MEM_RELEASE             443
#define IDS_MEM_FREE                444
#define IDS_MEM_PRIVATE             445
#define IDS_MEM_MAPPED              446
#define IDS_MEM_RESET               447
#define IDS_MEM_TOPDOWN             448
#define IDS_MEM_IMAGE               449

/* 458-466: detail-view titles (prefixes end in " -- ") */
#define IDS_TITLE_MODULES           458
#define IDS_TITLE_MODULEUSAGE       459
#define IDS_TITLE_BADVERSION        460
#define IDS_TITLE_PROCESSTREE       461
#define IDS_TITLE_STARTUPINFO       462
#define IDS_TITLE_THREADS           463
#define IDS_TITLE_PRIORITY          464
#define IDS_TITLE_MEMORY            465
#define IDS_TITLE_HEAP              466

/* 467-477: more messages and fixed texts */
#define IDS_ACCESS_DENIED           467
#define IDS_NEED_TOOLHELP           475
#define IDS_NOT_APPLICABLE          476
#define IDS_FINDER_NO_PROCESS       477

/* 479-485: save dialog, status line, menu and shortcut texts */
#define IDS_SAVE_FILTER             479 /* '|' separators, replaced by NULs at run time */
#define IDS_STATUS_PROCESSES        481
#define IDS_SAVE_DEFEXT             482
#define IDS_MENU_PROCESS            483 /* must equal the "&Process" menu text */
#define IDS_SHORTCUT_DESC           484
#define IDS_COL_NAME                485

/* 489-494: tab-separated column headers of the detail views */
#define IDS_HDR_MODULES             489
#define IDS_HDR_MEMORY              490
#define IDS_HDR_MODULEUSAGE         491
#define IDS_HDR_HEAPBLOCKS          492
#define IDS_HDR_HEAPS               493
#define IDS_HDR_THREADS             494

/* 495: name of the tray popup, must equal its text in menu 138 */
#define IDS_MENU_TRAY               495
#define IDS_SAVE_FAILED             496 /* file, then the system's reason */
#define IDS_MODULES_UNREADABLE      497 /* the Modules view's line when no module could be read */
#define IDS_MODULES_NEED_X64        498 /* the same, for a 64-bit process seen by the 32-bit build */

/* 500-529: what an administrator asks about a process */
#define IDS_COL_COMMANDLINE         500 /* titles of the text columns */
#define IDS_COL_USERNAME            501
#define IDS_COL_PLATFORM            502
#define IDS_PLATFORM_64             503
#define IDS_PLATFORM_32             504
#define IDS_STARTUP_COMMANDLINE     505 /* labels of the Startup Information lines, in order */
#define IDS_STARTUP_DIRECTORY       506
#define IDS_STARTUP_IMAGE           507
#define IDS_STARTUP_TITLE           508
#define IDS_STARTUP_DESKTOP         509
#define IDS_STARTUP_SHOW            510
#define IDS_STARTUP_UNREADABLE      511 /* the view's line when the record cannot be read */
#define IDS_STARTUP_NEED_X64        512 /* the same, for a 64-bit process seen by the 32-bit build */
#define IDS_STARTUP_DENIED          513 /* the same, when the process refuses to be read */
#define IDS_DEBUG_CONFIRM           514 /* name, then identifier */
#define IDS_DEBUG_NONE              515
#define IDS_DEBUG_BADVALUE          516 /* the registered value */
#define IDS_DEBUG_NOSTART           517 /* the command, then the system's reason */
#define IDS_HDR_STARTUP             518

/* 530-549: filter and rights */
#define IDS_STATUS_FILTERED         530 /* rows shown, then rows there are without the filter */
#define IDS_FILTER_CUE              531 /* the filter box's grey text while it is empty */
#define IDS_MENU_ALLUSERS           532 /* File menu item, added for a limited token only */

/* 550-579: the machine's figures and history */
#define IDS_HDR_SYSINFO_SAMPLES     550 /* tab-separated header of the saved samples */
#define IDS_SYSINFO_OF              551 /* "in use / total" */
#define IDS_STATUS_GRAPH_TIP        552 /* tooltip of the status bar's graphs */

/* 580-589: more view lines and messages */
#define IDS_SAVE_KEPT_TEMP          580 /* after IDS_SAVE_FAILED: where the unsaved text was kept */
#define IDS_HEAP_UNREADABLE         581 /* the Heap view's line when no heap could be read */
#define IDS_MEMORY_NEED_X64         582 /* the Memory view's line for a 64-bit process seen by the 32-bit build */

/* 600-609: commands that waited on the user */
#define IDS_PROCESS_ENDED           600 /* name, then identifier as the list shows it */

/* 785-789: Debug's refusals and the Startup Information view's cut environment */
#define IDS_DEBUG_BUSY              785 /* Debug while a debugger started before is still attaching */
#define IDS_DEBUG_TOOLONG           786 /* the most characters a debugger command may hold */
#define IDS_STARTUP_ENV_CUT         787 /* after the environment's entries, when it was cut */
/* 610-649: commands on several selected processes */
#define IDS_PROCESS_FAILED          610 /* name, identifier as shown, then the reason */
#define IDS_KILL_SEVERAL            611 /* how many, then a line per process */
#define IDS_KILL_MORE               612 /* after the listed ones: how many more */
#define IDS_STATUS_SELECTED         613 /* the status line for several selected */
#define IDS_CPU_SUSPENDED           640 /* the CPU cell of a process suspended here */
#define IDS_SUSPEND_FAILED          641 /* reasons in the one message after Suspend or Resume */
#define IDS_RESUME_FAILED           642
#define IDS_RUN_FAILED              620 /* the command, then the system's reason */
#define IDS_RUN_FILTER              621 /* Browse's file types, '|' separators */
#define IDS_OPENLOCATION_FAILED     622 /* the path, then the system's reason */
/* 630-639: the refresh state in the status bar */
#define IDS_STATUS_PAUSED           630 /* the main refresh is paused */
#define IDS_STATUS_HELD             631 /* the module-usage filter holds the list: the module's name */
/* 670-699: the process tree inside the main list and its columns */
#define IDS_COL_PARENTID            670
#define IDS_COL_DESCRIPTION         671
#define IDS_COL_COMPANY             672
#define IDS_COL_SERVICES            749 /* the services a process hosts */

/* 750-779: Write Dump File and Set Affinity */
#define IDS_DUMP_FILTER             750 /* the dump's save dialog, '|' separators */
#define IDS_DUMP_DEFEXT             751
#define IDS_DUMP_BUSY               752 /* a second dump while one is written */
#define IDS_DUMP_NEED_X64           753 /* a 64-bit process seen by the 32-bit build */
#define IDS_DUMP_NO_DBGHELP         754
#define IDS_STATUS_DUMPING          755 /* the process's name */
#define IDS_STATUS_DUMPED           756 /* the process's name, then the file */
#define IDS_STATUS_DUMP_FAILED      757 /* the process's name */
#define IDS_AFFINITY_CPU            758 /* a check box: the processor's number */
#define IDS_AFFINITY_NONE           759 /* OK with every box unchecked */
#define IDS_AFFINITY_FAILED         760 /* the process's name, then the system's reason */
#define IDS_AFFINITY_UNREADABLE     761 /* the same, when the mask cannot be read */

/* ------------------------------------------------------------------------
 * Icons, cursors, bitmaps and menus (100-199)
 * ------------------------------------------------------------------------ */

#define IDI_MAIN                    101 /* program icon, 16x16 and 32x32 */
#define IDB_TOOLBAR                 108 /* toolbar strip, 16x15 images, silver background */
#define IDC_FINDER                  118 /* Finder crosshair, 32x32, hot spot (15,16) */
#define IDI_MODULEUSAGE             120 /* module-usage icon, 16x16 and 32x32 */
#define IDB_SORTUP                  123 /* header arrow of an ascending sort, 16x16 */
#define IDB_SORTDOWN                124 /* header arrow of a descending sort, 16x16 */
#define IDB_ABOUT                   137 /* picture of the About box */
#define IDR_TRAYMENU                138
#define IDR_MAINMENU                139
/* 150-155: the toolbar strip and the sort arrows drawn for 150% and 200% screens */
#define IDB_TOOLBAR24               150 /* toolbar strip, 24x23 images */
#define IDB_TOOLBAR32               151 /* toolbar strip, 32x30 images */
#define IDB_SORTUP24                152
#define IDB_SORTDOWN24              153
#define IDB_SORTUP32                154
#define IDB_SORTDOWN32              155

/* Image positions of the toolbar buttons in the strip (IDB_TOOLBAR); images 5 and 7
 * belong to commands without a button */
#define TBIMG_REFRESH               0
#define TBIMG_THREADS               1
#define TBIMG_MODULES               2
#define TBIMG_MEMORY                3
#define TBIMG_KILL                  4
#define TBIMG_PRIORITY              6
#define TBIMG_FINDER                8
#define TBIMG_SAVE                  9
#define TBIMG_PROCESSTREE           10
#define TBIMG_MODULEUSAGE           11
#define TBIMG_APPLICATIONS          12

/* ------------------------------------------------------------------------
 * Dialog templates (IDD_*, 100-199) and their controls (IDC_*, 1000-1099)
 * ------------------------------------------------------------------------ */

#define IDD_THREADS                 105
#define IDD_MODULES                 106
#define IDD_MEMORY                  109
#define IDD_VERSION                 117
#define IDD_STARTUPINFO             126

/* Threads */
#define IDC_THREAD_LIST             1010
#define IDC_THREAD_HEADER           1053
/* Modules */
#define IDC_MODULE_LIST             1013
#define IDC_MODULE_HEADER           1047
/* Memory */
#define IDC_MEMORY_LIST             1015
#define IDC_MEMORY_TOTALS           1031
#define IDC_MEMORY_HEADER           1050
/* Startup Information */
#define IDC_STARTUP_LIST            1070
#define IDC_STARTUP_HEADER          1071
/* Version (value fields; each view numbers its own controls) */
#define IDC_VER_FILEVERSION         1029
#define IDC_VER_CREATED             1031
#define IDC_VER_COMPANY             1032
#define IDC_VER_INTERNALNAME        1033
#define IDC_VER_LANGUAGE            1034
#define IDC_VER_ORIGINALNAME        1035
#define IDC_VER_PRODUCTVERSION      1036
#define IDC_VER_MODIFIED            1037
#define IDC_VER_PRODUCTNAME         1040
#define IDC_VER_DESCRIPTION         1041

/* The action and option dialogs keep their identifiers beside their templates. */
#include "dialogs/about.h"
#include "dialogs/affinity.h"
#include "dialogs/apps.h"
#include "dialogs/columns.h"
#include "dialogs/handles.h"
#include "dialogs/heap.h"
#include "dialogs/kill.h"
#include "dialogs/options.h"
#include "dialogs/priority.h"
#include "dialogs/run.h"
#include "dialogs/systeminfo.h"
#include "dialogs/tree.h"
#include "dialogs/usage.h"

/* ------------------------------------------------------------------------
 * Commands (40001-40099): menu items, accelerators, toolbar buttons
 * ------------------------------------------------------------------------ */

#define IDM_EXIT                    40001
#define IDM_REFRESH                 40002
#define IDM_KILL                    40003
#define IDM_ABOUT                   40004
#define IDM_DEBUG                   40005 /* removed from the menu on Windows 9x */
#define IDM_THREADS                 40006
#define IDM_MODULES                 40007
#define IDM_MEMORY                  40008
#define IDM_PRIORITY                40009
#define IDM_HEAP                    40010 /* removed from the menu on NT */
#define IDM_OPEN                    40011
#define IDM_USESYSTRAY              40012
#define IDM_STARTMINIMIZED          40013
#define IDM_REFRESHTIMES            40014
#define IDM_MULTIINSTANCES          40015
#define IDM_HELP                    40017 /* routed, but no menu item or key sends it */
#define IDM_SWITCHTO                40018
#define IDM_INFO                    40019
#define IDM_FINDER                  40020 /* toolbar only; works by dragging */
#define IDM_SAVEAS                  40021
#define IDM_PROCESSTREE             40022
#define IDM_MODULEUSAGE             40023
#define IDM_BRINGTOFRONT            40024
#define IDM_APPLICATIONS            40025
#define IDM_HEXPID                  40026
#define IDM_LOADATSTARTUP           40027
#define IDM_RELOAD                  40028
#define IDM_STARTUPINFO             40029 /* removed from the menu on Windows 9x */
#define IDM_COPYPATH                40030
#define IDM_SELECTCOLUMNS           40031 /* removed from the menu on Windows 9x */
#define IDM_COPYROW                 40032 /* also Ctrl+C in the main list */
#define IDM_SYSTEMINFO              40033
#define IDM_FILTER                  40034 /* also Ctrl+F: the focus to the filter box */
#define IDM_ALLUSERS                40035 /* restart with administrator rights */
#define IDM_STATUSGRAPHS            40036
#define IDM_HIGHLIGHTNEW            40037
#define IDM_KILLTREE                40040 /* also Shift+Delete in the main list */
#define IDM_SUSPEND                 40041 /* NT family only */
#define IDM_RESUME                  40042 /* NT family only */
#define IDM_RUN                     40044
#define IDM_OPENLOCATION            40045 /* disabled while the selected row has no path */
#define IDM_SAVEALLCOLUMNS          40052
#define IDM_HIGHLIGHTENDED          40043
#define IDM_PAUSEREFRESH            40046 /* also Space in the main list */
#define IDM_SPEED1                  40047 /* 40047-40050: the main refresh every 1, 2, 5, 10 s */
#define IDM_SPEED2                  40048
#define IDM_SPEED5                  40049
#define IDM_SPEED10                 40050
#define IDM_TREEVIEW                40070 /* also Ctrl+T: the main list as a tree */
#define IDM_WRITEDUMP               40090 /* NT family only */
#define IDM_AFFINITY                40091 /* NT family only */

#endif /* KELVANE_RESOURCE_H */
