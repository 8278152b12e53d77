/* Identifiers of the Processor Affinity dialog: its check boxes are made at run time, one per
 * processor, numbered from IDC_AFFINITY_FIRST on. */
#define IDD_AFFINITY                131
#define IDC_AFFINITY_FIRST          1160 /* 1160-1223: "CPU 0" to "CPU 63" */
