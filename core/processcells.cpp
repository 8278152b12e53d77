#include "core/processcells.h"

#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/figurecells.h"
#include "core/prioritynames.h"
#include "core/processrecord.h"
#include "core/settings.h"
#include "core/textcells.h"
#include "resource.h"

const char *CellText(ProcessRecord *record, int column)
{
    static char text[MAX_PATH];
    if (!record || column < 0 || column >= g_columnCount)
        return "";
    const ColumnKind kind = g_columnKinds[column];
    if (kind == ColumnCpu && (record->flags & RecordSuspendedAny))
        return ResText(IDS_CPU_SUSPENDED);
    if (IsFigureColumn(kind)) {
        FormatFigureCell(kind, *record, text, sizeof text);
        return text;
    }
    if (IsTextColumn(kind))
        return TextCell(kind, *record);
    switch (kind) {
    case ColumnName:
        return record->name;
    case ColumnPath:
        return record->path;
    case ColumnId: {
        const bool hex = g_settings.hexProcessId;
        const char *format = record->kind == KindTask16 ? (hex ? "(%x)" : "(%u)") : (hex ? "%x" : "%u");
        std::snprintf(text, sizeof text, format, static_cast<unsigned>(record->id));
        break;
    }
    case ColumnPriority: {
        const char *name = PriorityClassName(record->priorityClass);
        if (!*name && record->basePriority == 0)
            std::strcpy(text, "-");
        else if (IsNt)
            std::snprintf(text, sizeof text, "%s", name);
        else
            std::snprintf(text, sizeof text, "%d  (%s)", static_cast<int>(record->basePriority), name);
        break;
    }
    case ColumnThreads:
        std::snprintf(text, sizeof text, "%d", static_cast<int>(record->threadCount));
        break;
    case ColumnType:
        std::snprintf(text, sizeof text, "%d-Bit", record->kind != KindProcess ? 16 : 32);
        break;
    default: // the figure and text columns, given above
        text[0] = '\0';
        break;
    }
    return text;
}

void AppendColumnFields(std::vector<char> *text, ProcessRecord *record)
{
    for (int column = 0; column < g_columnCount; ++column) {
        if (column)
            text->push_back('\t');
        const char *cell = record ? CellText(record, column) : ResText(g_columns[column].stringId);
        for (; *cell; ++cell)
            text->push_back(*cell == '\t' || *cell == '\r' || *cell == '\n' ? ' ' : *cell);
    }
}
