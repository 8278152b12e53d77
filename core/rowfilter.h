// The main list's text filter: the text typed in the filter box and the rule that decides which
// processes keep their rows while it holds text.
#pragma once
#include <windows.h>

struct ProcessRecord;

// Takes the text rows must contain (null or "" lets every row through).
void SetRowFilter(const char *text);
// The same for text in Unicode. Cells are text of the code page, so a filter holding a character
// the code page cannot hold lets no row through (rather than the '?' that stands for it).
void SetRowFilterWide(const WCHAR *text);
bool RowFilterActive();
// True when a cell of the record the filter looks at contains the filter text, regardless of
// case: the name, the identifier as shown, the full path, and the command line, user name,
// description, company and services while their columns are shown. Figures (the parent's
// identifier among them) are never matched. Always true without a filter.
bool RecordPassesRowFilter(ProcessRecord *record);
