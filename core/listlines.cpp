#include "core/listlines.h"

#include <cstring>

void ListLines::Add(const char *text, ULONG_PTR value)
{
    if (!text)
        text = "";
    starts_.push_back(texts_.size());
    texts_.insert(texts_.end(), text, text + std::strlen(text) + 1);
    values_.push_back(value);
}

void ShowListLines(HWND listBox, const ListLines &lines, bool keepTop)
{
    SendMessageA(listBox, WM_SETREDRAW, FALSE, 0);
    const LRESULT top = SendMessageA(listBox, LB_GETTOPINDEX, 0, 0);
    SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < lines.Count(); ++i) {
        const LRESULT index =
            SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines.Text(i)));
        if (index >= 0)
            SendMessageA(listBox, LB_SETITEMDATA, static_cast<WPARAM>(index),
                         static_cast<LPARAM>(lines.Value(i)));
    }
    if (keepTop && top > 0)
        SendMessageA(listBox, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageA(listBox, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listBox, nullptr, TRUE);
}

bool SelectedLineValue(HWND listBox, ULONG_PTR *value)
{
    const LRESULT index = SendMessageA(listBox, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return false;
    *value = static_cast<ULONG_PTR>(
        SendMessageA(listBox, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    return true;
}
