// A file's version record read through the system (GetFileVersionInfoA), with its values decoded
// into the ANSI code page: the reader behind the Version view, the Modules view's saved lines and
// the main list's Description and Company columns.
#pragma once
#include <windows.h>

// Values longer than this are cut in the view and left out of composed text.
const int kValueLimit = MAX_PATH;

// A file's version record, read once for several lookups.
struct VersionRecord {
    void *data;
    DWORD size;
    WORD language;  // first translation
    char table[16]; // its string table's name, "%04x%04x"
};

// True when the file has a version record with a translation table; then CloseVersionRecord
// frees it.
bool OpenVersionRecord(const char *path, VersionRecord *record);
void CloseVersionRecord(VersionRecord *record);
// Copies the value of `key` into `output` (at most limit - 1 bytes, cut at a character boundary)
// and returns its full length in bytes; 0 when the key is missing or its value empty.
int ReadVersionValue(const VersionRecord *record, const char *key, char *output, int limit);
// The whole value of `key` on the heap (the caller frees it); null when it is missing or empty.
char *CopyVersionValue(const VersionRecord *record, const char *key);

struct ProcessRecord;
// Reads the description and company of a record's executable into its texts (the Description
// and Company columns' reader); a file without a version record leaves them empty.
void ReadRecordVersionTexts(ProcessRecord *record);
