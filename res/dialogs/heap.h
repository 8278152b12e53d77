/* Identifiers of the heap view and the heap-blocks view it opens. */
#define IDD_HEAP                    113
#define IDD_HEAPBLOCKS              114
#define IDC_HEAP_LIST               1018
#define IDC_HEAP_HEADER             1049
#define IDC_HEAPBLOCK_LIST          1019
#define IDC_HEAPBLOCK_HEADER        1048
