#pragma once
// The XML cells reader: rows of cells of a spreadsheet saved as XML. Only the
// elements Row, Cell and Data matter; declarations, workbook and worksheet
// elements and attributes are passed over, and texts are taken as they stand
// between the tags (no entity decoding).
#include <cstddef>
#include <cstdint>
#include "exec/list.h"

// Tag names longer than this never match.
constexpr size_t kXmlTagMax = 127;

struct XmlElement {
  const char* contentBegin;
  const char* contentEnd;  // at the "</" of the closing tag
  const char* elementEnd;  // one past the closing tag's '>'
};

// The first element named tag (any case) in [begin, end). Names end at a space or
// '>'; a tag closed with "/>" is passed over; the first closing tag of that name
// ends the element. A NUL or 0x1A byte ends the search like the end of the range.
bool FindXmlElement(const char* begin, const char* end, const char* tag, XmlElement* out);

// Read position over a text.
struct XmlCursor {
  const char* position;
  const char* end;
};

// One cell text (owned, NUL-terminated; node.name points at it).
struct XmlCell {
  ExecNode node;
  char* text;
  uint32_t length;
};

// The temporary "XML cells" list (not entered in "Anchor").
void InitXmlCellList(ExecList* cells);
void EmptyXmlCells(ExecList* cells);
// Cell `index`, or the last one when the row is shorter; null for an empty row.
XmlCell* XmlCellAt(const ExecList* cells, uint32_t index);

// Reads the next Row into cells (one copy of each Cell's Data) and moves the
// cursor behind it. False at the end of the text, when a Cell has no Data (the
// rest of the text then counts as absent) or when memory runs out.
bool ReadRow(XmlCursor* cursor, ExecList* cells);
// Reads rows until one has a cell "[name]" (any case); the cursor then stands
// behind that row. False at the end of the text.
bool FindMarker(XmlCursor* cursor, const char* name, ExecList* cells);
