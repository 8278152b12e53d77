#include "app/columns.h"

ColumnEntry g_columnsNt[] = {{485, 100}, {4, 75}, {5, 75}, {8, 250}, {0, 0}};
ColumnEntry g_columns9x[] = {{485, 100}, {4, 75}, {5, 75}, {6, 55}, {7, 50}, {8, 250}, {0, 0}};

static const ColumnKind kKindsNt[] = {ColumnName, ColumnId, ColumnPriority, ColumnPath};
static const ColumnKind kKinds9x[] = {ColumnName,    ColumnId,   ColumnPriority,
                                      ColumnThreads, ColumnType, ColumnPath};

ColumnEntry *g_columns = g_columnsNt;
const ColumnKind *g_columnKinds = kKindsNt;
int g_columnCount = 4;

void SelectColumnSet(bool nt)
{
    g_columns = nt ? g_columnsNt : g_columns9x;
    g_columnKinds = nt ? kKindsNt : kKinds9x;
    g_columnCount = 0;
    while (g_columns[g_columnCount].stringId)
        ++g_columnCount;
}
