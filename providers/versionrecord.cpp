#include "providers/versionrecord.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/processrecord.h"
#include "providers/versionkeys.h"

namespace {

// Bytes of the longest run of whole characters from the start of `text` that fits `room` bytes.
size_t CutAtCharacter(const char *text, size_t room)
{
    const char *end = text;
    for (;;) {
        const char *next = NextChar(end);
        if (next == end || static_cast<size_t>(next - text) > room)
            return static_cast<size_t>(end - text);
        end = next;
    }
}

// The (non-empty) value as a terminated string in the ANSI code page; the caller frees it.
char *DecodeValue(const VersionText &value)
{
    if (!value.wide) {
        char *text = static_cast<char *>(std::malloc(value.length + 1));
        if (text) {
            std::memcpy(text, value.text, value.length);
            text[value.length] = '\0';
        }
        return text;
    }
    // Lengths come from a 16-bit field and its node; far below the int range.
    const int units = static_cast<int>(value.length);
    WCHAR *wide = static_cast<WCHAR *>(std::malloc((value.length + 1) * sizeof(WCHAR)));
    if (!wide)
        return nullptr;
    std::memcpy(wide, value.text, value.length * sizeof(WCHAR)); // the record may be unaligned
    char *text = nullptr;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        text = static_cast<char *>(std::malloc(static_cast<size_t>(bytes) + 1));
        if (text) {
            WideCharToMultiByte(CP_ACP, 0, wide, units, text, bytes, nullptr, nullptr);
            text[bytes] = '\0';
        }
    }
    std::free(wide);
    return text;
}

} // namespace

bool OpenVersionRecord(const char *path, VersionRecord *record)
{
    *record = VersionRecord();
    DWORD handle = 0;
    const DWORD size = path ? GetFileVersionInfoSizeA(path, &handle) : 0;
    if (size == 0)
        return false;
    record->data = std::malloc(size);
    if (!record->data)
        return false;
    record->size = size;
    uint16_t language = 0, codePage = 0;
    if (!GetFileVersionInfoA(path, 0, size, record->data) ||
        !FindVersionTranslation(record->data, size, &language, &codePage)) {
        CloseVersionRecord(record);
        return false;
    }
    record->language = language;
    std::snprintf(record->table, sizeof record->table, "%04x%04x", language, codePage);
    return true;
}

void CloseVersionRecord(VersionRecord *record)
{
    std::free(record->data);
    *record = VersionRecord();
}

int ReadVersionValue(const VersionRecord *record, const char *key, char *output, int limit)
{
    if (limit > 0)
        output[0] = '\0';
    char *text = CopyVersionValue(record, key);
    if (!text)
        return 0;
    const size_t length = std::strlen(text);
    if (limit > 0) {
        const size_t kept = CutAtCharacter(text, static_cast<size_t>(limit) - 1);
        std::memcpy(output, text, kept);
        output[kept] = '\0';
    }
    std::free(text);
    return static_cast<int>(length);
}

char *CopyVersionValue(const VersionRecord *record, const char *key)
{
    VersionText value;
    if (!FindVersionString(record->data, record->size, record->table, key, &value) ||
        value.length == 0)
        return nullptr;
    return DecodeValue(value);
}

void ReadRecordVersionTexts(ProcessRecord *record)
{
    VersionRecord version;
    if (!OpenVersionRecord(record->path, &version))
        return;
    record->texts.description = CopyVersionValue(&version, "FileDescription");
    record->texts.company = CopyVersionValue(&version, "CompanyName");
    CloseVersionRecord(&version);
}
