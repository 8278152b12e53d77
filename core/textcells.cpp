#include "core/textcells.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/textcompare.h"
#include "core/processrecord.h"
#include "resource.h"

namespace {

RecordTextReader g_reader;
RecordTextReader g_versionReader;
ServiceReader g_serviceReader;
std::vector<ServiceText> g_services; // sorted by process identifier

const char *PlatformText(BYTE bits)
{
    return bits == 64 ? ResText(IDS_PLATFORM_64) : bits == 32 ? ResText(IDS_PLATFORM_32) : "";
}

void FreeServiceTexts(std::vector<ServiceText> *texts)
{
    for (ServiceText &text : *texts)
        std::free(text.names);
    texts->clear();
}

bool SameServiceTexts(const std::vector<ServiceText> &a, const std::vector<ServiceText> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].processId != b[i].processId ||
            std::strcmp(a[i].names ? a[i].names : "", b[i].names ? b[i].names : "") != 0)
            return false;
    return true;
}

const char *ServicesOf(const ProcessRecord &record)
{
    if (record.kind != KindProcess)
        return nullptr;
    auto found = std::lower_bound(
        g_services.begin(), g_services.end(), record.id,
        [](const ServiceText &text, DWORD id) { return text.processId < id; });
    return found != g_services.end() && found->processId == record.id ? found->names : nullptr;
}

// Reads a record's texts of one reader the first time one of them is asked for.
void ReadOnce(bool *read, RecordTextReader reader, ProcessRecord &record)
{
    if (*read)
        return;
    *read = true;
    if (reader)
        reader(&record);
}

} // namespace

void SetRecordTextReader(RecordTextReader reader)
{
    g_reader = reader;
}

void SetRecordVersionReader(RecordTextReader reader)
{
    g_versionReader = reader;
}

void SetServiceReader(ServiceReader reader)
{
    g_serviceReader = reader;
}

bool RefreshServiceTexts(bool shown)
{
    std::vector<ServiceText> texts;
    if (shown && g_serviceReader)
        g_serviceReader(&texts);
    const bool changed = !SameServiceTexts(texts, g_services);
    FreeServiceTexts(&g_services);
    g_services.swap(texts);
    return changed;
}

bool IsTextColumn(ColumnKind kind)
{
    return kind == ColumnCommandLine || kind == ColumnUserName || kind == ColumnPlatform ||
           kind == ColumnDescription || kind == ColumnCompany || kind == ColumnServices;
}

const char *TextCell(ColumnKind kind, ProcessRecord &record)
{
    RecordTexts &texts = record.texts;
    const char *text = nullptr;
    switch (kind) {
    case ColumnDescription:
    case ColumnCompany:
        ReadOnce(&texts.versionRead, g_versionReader, record);
        text = kind == ColumnDescription ? texts.description : texts.company;
        break;
    case ColumnServices:
        text = ServicesOf(record);
        break;
    case ColumnPlatform:
        ReadOnce(&texts.read, g_reader, record);
        text = PlatformText(texts.bits);
        break;
    default:
        ReadOnce(&texts.read, g_reader, record);
        text = kind == ColumnCommandLine ? texts.commandLine : texts.userName;
        break;
    }
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
    std::free(record->texts.description);
    std::free(record->texts.company);
    record->texts = RecordTexts();
}
