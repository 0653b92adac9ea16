// Fuzz target: the XML cells reader over arbitrary bytes (rows, cells, markers).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "exec/execlib.h"
#include "script/script_layer.h"
#include "exec/memory.h"
#include "script/xmlcells.h"

namespace {

bool StartOnce() {
  static bool started = [] {
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.mainPoolSize = 0x2000000;
    config.logMode = 0;  // silent: the reader's failures are results, not log lines
    strcpy(config.baseDirectory, "/tmp/");
    InstallScriptLayer();
    return InitExec(&config);
  }();
  return started;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartOnce()) return 0;
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
