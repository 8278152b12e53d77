// The lines of a detail view as data: each line's text with a value kept beside it (a heap's
// identifier, an index into the view's own table), so that nothing is read back out of the text
// the list box shows. Providers hand their lines over in this form; the view puts them into its
// list box, each value as the line's item data.
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

class ListLines {
public:
    void Add(const char *text, ULONG_PTR value = 0);
    size_t Count() const { return values_.size(); }
    // Valid until the next Add.
    const char *Text(size_t index) const { return &texts_[starts_[index]]; }
    ULONG_PTR Value(size_t index) const { return values_[index]; }

private:
    std::vector<char> texts_; // every line's text with its terminator, one after the other
    std::vector<size_t> starts_;
    std::vector<ULONG_PTR> values_;
};

// Empties the list box and adds the lines with their values as item data, the list frozen
// meanwhile. With `keepTop` the line that was at the top stays there, so that a refreshed view
// does not jump back.
void ShowListLines(HWND listBox, const ListLines &lines, bool keepTop);
// The value kept beside the list box's selected line; false when no line is selected.
bool SelectedLineValue(HWND listBox, ULONG_PTR *value);
