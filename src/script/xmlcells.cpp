#include "script/xmlcells.h"

#include <cstring>

#include "exec/memory.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// NUL and 0x1A end the data wherever they stand, as in every Script text.
bool EndsData(char c) { return c == '\0' || c == '\x1A'; }

bool SameName(const char* name, size_t length, const char* upperWanted, size_t wantedLength) {
  if (length != wantedLength) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Upper(name[i]) != upperWanted[i]) return false;
  }
  return true;
}

// Moves p to the next `c`; false at the end of the range or of the data.
bool SkipTo(const char*& p, const char* end, char c) {
  while (p < end && !EndsData(*p)) {
    if (*p == c) return true;
    ++p;
  }
  return false;
}

void ReleaseCell(ExecNode* element) {
  XmlCell* cell = reinterpret_cast<XmlCell*>(element);
  if (cell->text) FreeMem(cell->text);
  cell->text = nullptr;
  cell->node.name = nullptr;
}

bool AppendCell(ExecList* cells, const char* begin, const char* end) {
  size_t length = static_cast<size_t>(end - begin);
  if (length > 0xFFFFFFF0u) return false;
  XmlCell* cell = static_cast<XmlCell*>(AllocMem(kMainPoolId, sizeof(XmlCell)));
  if (!cell) return false;
  ClearMem(cell, sizeof(XmlCell));
  cell->text = static_cast<char*>(AllocMem(kMainPoolId, length + 1));
  if (!cell->text) {
    FreeMem(cell);
    return false;
  }
  memcpy(cell->text, begin, length);
  cell->text[length] = '\0';
  cell->length = static_cast<uint32_t>(length);
  cell->node.name = cell->text;
  AddTail(&cells->list, &cell->node);
  return true;
}

bool IsMarker(const XmlCell* cell, const char* name) {
  size_t nameLength = strlen(name);
  if (cell->length != nameLength + 2) return false;
  const char* text = cell->text;
  if (text[0] != '[' || text[nameLength + 1] != ']') return false;
  for (size_t i = 0; i < nameLength; ++i) {
    if (Upper(text[i + 1]) != Upper(name[i])) return false;
  }
  return true;
}

}  // namespace

bool FindXmlElement(const char* begin, const char* end, const char* tag, XmlElement* out) {
  if (!begin || !end || !tag || begin >= end) return false;
  size_t wantedLength = strlen(tag);
  if (wantedLength == 0 || wantedLength > kXmlTagMax) return false;
  char wanted[kXmlTagMax + 1];
  for (size_t i = 0; i < wantedLength; ++i) wanted[i] = Upper(tag[i]);
  wanted[wantedLength] = '\0';

  const char* p = begin;
  const char* content = nullptr;
  while (!content) {
    if (!SkipTo(p, end, '<')) return false;
    const char* name = ++p;
    while (p < end && !EndsData(*p) && *p != ' ' && *p != '>') ++p;
    size_t nameLength = static_cast<size_t>(p - name);
    if (!SkipTo(p, end, '>')) return false;
    // "<Cell/>" or "<Cell ss:Index="2"/>" has no content and no closing tag.
    bool selfClosing = p[-1] == '/';
    ++p;
    if (!selfClosing && SameName(name, nameLength, wanted, wantedLength)) content = p;
  }

  while (true) {
    if (!SkipTo(p, end, '<')) return false;
    if (p + 1 >= end || p[1] != '/') {
      ++p;
      continue;
    }
    const char* closing = p;
    const char* name = p + 2;
    p = name;
    if (!SkipTo(p, end, '>')) return false;
    if (SameName(name, static_cast<size_t>(p - name), wanted, wantedLength)) {
      out->contentBegin = content;
      out->contentEnd = closing;
      out->elementEnd = p + 1;
      return true;
    }
    p = name;  // a closing tag of another element; its name may hold the next '<'
  }
}

void InitXmlCellList(ExecList* cells) { InitList(cells, "XML cells", ReleaseCell, 0); }

void EmptyXmlCells(ExecList* cells) { EmptyList(cells, true); }

XmlCell* XmlCellAt(const ExecList* cells, uint32_t index) {
  uint32_t count = CountNodes(&cells->list);
  if (count == 0) return nullptr;
  if (index >= count) index = count - 1;
  return reinterpret_cast<XmlCell*>(GetNthNode(&cells->list, index));
}

bool ReadRow(XmlCursor* cursor, ExecList* cells) {
  EmptyXmlCells(cells);
  XmlElement row;
  if (!FindXmlElement(cursor->position, cursor->end, "ROW", &row)) return false;
  const char* p = row.contentBegin;
  XmlElement cell;
  while (FindXmlElement(p, row.contentEnd, "CELL", &cell)) {
    XmlElement data;
    if (!FindXmlElement(cell.contentBegin, cell.contentEnd, "DATA", &data)) return false;
    if (!AppendCell(cells, data.contentBegin, data.contentEnd)) return false;
    p = cell.elementEnd;
  }
  cursor->position = row.elementEnd;
  return true;
}

bool FindMarker(XmlCursor* cursor, const char* name, ExecList* cells) {
  if (!name) return false;
  while (ReadRow(cursor, cells)) {
    for (ExecNode* node = FirstNode(&cells->list); node; node = NextNode(node)) {
      if (IsMarker(reinterpret_cast<XmlCell*>(node), name)) return true;
    }
  }
  return false;
}
