// What a cell of the main list shows: the texts of a record, column by column of the active set.
#pragma once

struct ProcessRecord;

// The text a cell of the row of `record` shows in `column` of the active set ("" for none); valid
// until the next call.
const char *CellText(ProcessRecord *record, int column);
