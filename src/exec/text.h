#pragma once
// Small text helpers of the runtime: copies in the main pool, bounded appends,
// and the ASCII case-insensitive compare that names are matched with.
#include <cstddef>

// A copy of text (null copies as "") in a new AllocMem block; null when no
// memory can be had.
char* CopyText(const char* text);
// Appends text to the terminated text in buffer; false (buffer unchanged) when
// the result would not fit in capacity bytes.
bool AppendText(char* buffer, size_t capacity, const char* text);
// Equal texts, with 'a'..'z' matching 'A'..'Z'; every other byte compares exactly.
bool SameTextIgnoringCase(const char* a, const char* b);
