// What a cell of the main list shows: the texts of a record, column by column of the active set.
#pragma once
#include <vector>

struct ProcessRecord;

// The text a cell of the row of `record` shows in `column` of the active set ("" for none); valid
// until the next call.
const char *CellText(ProcessRecord *record, int column);
// Appends the titles of the active set's columns (for a null record) or the record's cells, in
// column order, tab-separated, with no line end: one line of a saved, copied or listed table. A
// cell's own tabs and line ends become spaces, so that it stays one field of its line.
void AppendColumnFields(std::vector<char> *text, ProcessRecord *record);
