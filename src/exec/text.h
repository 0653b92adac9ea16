#pragma once
// Small text helpers of the runtime: copies in the main pool, bounded appends,
// and the ASCII case-insensitive compare that names are matched with.
#include <cstddef>
#include <cstdint>

// A copy of text (null copies as "") in a new AllocMem block; null when no
// memory can be had.
char* CopyText(const char* text);
// Appends text to the terminated text in buffer; false (buffer unchanged) when
// the result would not fit in capacity bytes.
bool AppendText(char* buffer, size_t capacity, const char* text);
// Equal texts, with 'a'..'z' matching 'A'..'Z'; every other byte compares exactly.
bool SameTextIgnoringCase(const char* a, const char* b);

// "32 MB", "1.50 KB": whole part, and two digits of hundredths when the size is
// not a whole number of units. Needs room for kMemSizeTextMax characters. The
// unit names come from the language layer (SetMemUnitTexts); without it they
// are empty.
constexpr size_t kMemSizeTextMax = 64;
char* FormatMemSize(uint32_t count, char* output, size_t outputSize = kMemSizeTextMax);
// Where FormatMemSize takes the name of unit 0..3 (bytes, KB, MB, GB) from; the
// source may answer null. Null switches the names off.
void SetMemUnitTexts(const char* (*unitText)(uint32_t index));
