// Texts and order of the main list's text columns (Command Line, User Name, Platform on the NT
// family). Their values never change while a process lives: they are read once per record, when
// a cell or a sort first asks for them, through the reader the provider layer installs.
#pragma once

#include "core/columns.h"

struct ProcessRecord;

typedef void (*RecordTextReader)(ProcessRecord *record);
// Installs the reader that fills a record's texts (null: none). It is called once per record.
void SetRecordTextReader(RecordTextReader reader);

bool IsTextColumn(ColumnKind kind);
// The cell text of a text column; "" when it is not known.
const char *TextCell(ColumnKind kind, ProcessRecord &record);
// Orders two records by the column's text, case-insensitive; empty texts come first.
int CompareTextCells(ColumnKind kind, ProcessRecord &a, ProcessRecord &b);
// Frees the texts a record owns.
void FreeRecordTexts(ProcessRecord *record);
