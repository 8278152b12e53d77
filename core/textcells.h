// Texts and order of the main list's text columns on the NT family: Command Line, User Name,
// Platform, Description and Company, whose values never change while a process lives, read once
// per record when a cell or a sort first asks for them, and Services, read once per refresh pass
// while its column shows. The provider layer installs the readers.
#pragma once
#include <windows.h>

#include <vector>

#include "core/columns.h"

struct ProcessRecord;

typedef void (*RecordTextReader)(ProcessRecord *record);
// Installs the readers that fill a record's texts (null: none): the first the command line, user
// name and platform, the second the description and company of its executable. Each is called
// once per record.
void SetRecordTextReader(RecordTextReader reader);
void SetRecordVersionReader(RecordTextReader reader);

// The services one process hosts, joined by ", " (on the heap).
struct ServiceText {
    DWORD processId;
    char *names;
};
// Reads every process's services, sorted by process identifier.
typedef void (*ServiceReader)(std::vector<ServiceText> *texts);
void SetServiceReader(ServiceReader reader);
// Reads the services again (while the Services column shows; else forgets them); true when any
// process's text changed.
bool RefreshServiceTexts(bool shown);

bool IsTextColumn(ColumnKind kind);
// The cell text of a text column; "" when it is not known.
const char *TextCell(ColumnKind kind, ProcessRecord &record);
// Orders two records by the column's text, case-insensitive; empty texts come first.
int CompareTextCells(ColumnKind kind, ProcessRecord &a, ProcessRecord &b);
// Frees the texts a record owns.
void FreeRecordTexts(ProcessRecord *record);
