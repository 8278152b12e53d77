#include "core/textcells.h"

#include <cstdlib>

#include "core/appstate.h"
#include "core/textcompare.h"
#include "core/processrecord.h"
#include "resource.h"

namespace {

RecordTextReader g_reader;

const char *PlatformText(BYTE bits)
{
    return bits == 64 ? ResText(IDS_PLATFORM_64) : bits == 32 ? ResText(IDS_PLATFORM_32) : "";
}

} // namespace

void SetRecordTextReader(RecordTextReader reader)
{
    g_reader = reader;
}

bool IsTextColumn(ColumnKind kind)
{
    return kind == ColumnCommandLine || kind == ColumnUserName || kind == ColumnPlatform;
}

const char *TextCell(ColumnKind kind, ProcessRecord &record)
{
    RecordTexts &texts = record.texts;
    if (!texts.read) {
        texts.read = true;
        if (g_reader)
            g_reader(&record);
    }
    const char *text = kind == ColumnCommandLine ? texts.commandLine
                       : kind == ColumnUserName  ? texts.userName
                                                 : PlatformText(texts.bits);
    return text ? text : "";
}

int CompareTextCells(ColumnKind kind, ProcessRecord &a, ProcessRecord &b)
{
    const char *x = TextCell(kind, a), *y = TextCell(kind, b);
    if (!*x || !*y)
        return (*x != 0) - (*y != 0);
    return CompareText(x, y);
}

void FreeRecordTexts(ProcessRecord *record)
{
    std::free(record->texts.commandLine);
    std::free(record->texts.userName);
    record->texts = RecordTexts();
}
