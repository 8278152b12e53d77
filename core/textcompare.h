// The one order of texts the lists share: the user's locale, regardless of case, kana type and
// width.
#pragma once

// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareText(const char *a, const char *b);
