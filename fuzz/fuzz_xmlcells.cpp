// Fuzz target: the XML cells reader over arbitrary bytes (rows, cells, markers).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "exec/memory.h"
#include "fuzz_runtime.h"
#include "script/xmlcells.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartRuntimeOnce(0x2000000, false)) return 0;  // a cell too big for the pool is a result
  const char* text = reinterpret_cast<const char*>(data);
  const char* end = text + size;

  XmlElement element;
  for (const char* tag : {"Row", "Cell", "Data", "Workbook"}) {
    if (FindXmlElement(text, end, tag, &element)) {
      if (element.contentBegin < text || element.contentEnd > end || element.elementEnd > end ||
          element.contentBegin > element.contentEnd) {
        __builtin_trap();
      }
    }
  }

  ExecList cells;
  InitXmlCellList(&cells);
  XmlCursor cursor{text, end};
  while (ReadRow(&cursor, &cells)) {
    if (cursor.position > end) __builtin_trap();
    for (ExecNode* node = FirstNode(&cells.list); node; node = NextNode(node)) {
      const XmlCell* cell = reinterpret_cast<const XmlCell*>(node);
      if (cell->length > size || strlen(cell->text) > cell->length) __builtin_trap();
    }
  }
  cursor.position = text;
  FindMarker(&cursor, "English", &cells);
  EmptyXmlCells(&cells);
  return 0;
}
