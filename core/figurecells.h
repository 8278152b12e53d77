// Texts and order of the main list's columns of live figures (CPU, CPU Time, Working Set,
// Private Bytes, Threads and Handles on the NT family, Started).
#pragma once
#include <windows.h>

#include <cstddef>
#include <windows.h>

#include "core/columns.h"

struct ProcessRecord;

// The number format's Grouping value for the locale's digit-grouping text ("3;0", "3", "3;2;0").
UINT GroupingFromLocale(const char *text);
// True for the kinds this file formats and compares.
bool IsFigureColumn(ColumnKind kind);
// The cell text of a figure column; empty when the record's figures are not known.
void FormatFigureCell(ColumnKind kind, const ProcessRecord &record, char *text, size_t size);
// Whether the two records' cells of this column show different texts.
bool FigureTextsDiffer(ColumnKind kind, const ProcessRecord &a, const ProcessRecord &b);
// Orders two records by the column's value; unknown values come first.
int CompareFigures(ColumnKind kind, const ProcessRecord &a, const ProcessRecord &b);
// A whole number grouped as the user's locale writes numbers ("12,345").
void FormatGroupedNumber(ULONGLONG value, char *text, size_t size);
// "12,345 K": kilobytes, grouped the same way.
void FormatKilobytes(ULONGLONG bytes, char *text, size_t size);
