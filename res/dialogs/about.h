/* Identifiers of the about dialog. */
#define IDD_ABOUT                   122
