#include "script/multilang.h"

#include <cstdio>
#include <cstring>

#include "exec/execlib.h"
#include "exec/file.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/text.h"
#include "script/script.h"
#include "script/xmlcells.h"

namespace {

constexpr const char* kMissing = "Missing parameter";
constexpr uint32_t kTableStep = 10;

CurrentLanguageState gCurrent{0, ',', '.', 0};
MultiLangTable gTimeUnits{{}, kNoLanguage, false};
MultiLangTable gMemUnits{{}, kNoLanguage, false};
MultiLangTable gNominalUnits{{}, kNoLanguage, false};
MultiLangTable gDate{{}, kNoLanguage, false};

struct UnitTable {
  MultiLangTable* table;
  const char* name;
  uint32_t capacity;
};
const UnitTable kUnitTables[] = {
    {&gTimeUnits, "TimeUnits", 10},
    {&gMemUnits, "MemUnits", 10},
    {&gNominalUnits, "NominalUnits", 10},
    {&gDate, "Date", 24},
};

Language* FindByNumber(uint32_t number) {
  for (ExecNode* node = FirstNode(&LanguagesList()->list); node; node = NextNode(node)) {
    Language* language = reinterpret_cast<Language*>(node);
    if (language->number == number) return language;
  }
  return nullptr;
}

int ReadLangLine(uint16_t, ScriptCursor* cursor) {
  const char* value = NextString(cursor);
  char name[128];
  snprintf(name, sizeof name, "%s", value ? value : kMissing);
  value = NextString(cursor);
  char secondName[128];
  snprintf(secondName, sizeof secondName, "%s", value ? value : kMissing);
  uint8_t spare1 = static_cast<uint8_t>(NextNumber(cursor));
  uint32_t number = static_cast<uint32_t>(NextNumber(cursor));
  uint8_t spare2 = static_cast<uint8_t>(NextNumber(cursor));
  uint16_t code = static_cast<uint16_t>(NextNumber(cursor));
  AddLanguage(name, secondName, spare1, number, code, spare2);
  return 0;
}

const ScriptKey kSystemKeys[] = {
    {"LANG", 0, 6},
    {nullptr, 0, 0},
};

void FreeTexts(MultiLangTable* table) {
  for (uint32_t i = 0; table->table.data && i < table->table.count; ++i) {
    char** slot = static_cast<char**>(TableEntry(&table->table, i));
    if (*slot) FreeMem(*slot);
    *slot = nullptr;
  }
  if (table->table.data) RewindTable(&table->table);
}

bool SetUpTable(MultiLangTable* table, uint32_t capacity) {
  if (table->setUp && table->table.data) return true;
  InitTable(&table->table, sizeof(char*));
  if (!AddTable(&table->table, sizeof(char*), capacity)) return false;
  table->language = kNoLanguage;
  table->setUp = true;
  return true;
}

// The document's own read position drives the XML reader.
XmlCursor CursorOf(const ScriptDocument* document) {
  return XmlCursor{reinterpret_cast<const char*>(document->position),
                   reinterpret_cast<const char*>(document->textEnd)};
}

bool FindMarkerIn(ScriptDocument* document, const char* name, ExecList* cells) {
  XmlCursor cursor = CursorOf(document);
  bool found = FindMarker(&cursor, name, cells);
  document->position = reinterpret_cast<const uint8_t*>(cursor.position);
  return found;
}

}  // namespace

bool AddLanguage(const char* name, const char* secondName, uint8_t spare1, uint32_t number, uint16_t code,
                 uint8_t spare2) {
  if (!name) name = kMissing;
  if (!secondName) secondName = kMissing;
  ExecList* languages = LanguagesList();
  // The registry list is the runtime's; what its entries own is freed here.
  languages->release = ReleaseLanguage;
  if (Language* known = reinterpret_cast<Language*>(FindNameInList(&languages->list, name))) {
    if (known->number != number) {
      LogPrintf(1, "AddLanguage: Two different indexs have been attached to the same language %s. Old value is used",
                name);
    }
    if (known->code != code) {
      LogPrintf(1, "AddLanguage: Two different codes have been attached to the same language %s. Old value is used",
                name);
    }
    return true;
  }
  Language* language = static_cast<Language*>(AllocMem(kMainPoolId, sizeof(Language)));
  if (!language) return false;
  ClearMem(language, sizeof(Language));
  char* ownName = CopyText(name);
  language->secondName = CopyText(secondName);
  if (!ownName || !language->secondName) {
    if (ownName) FreeMem(ownName);
    if (language->secondName) FreeMem(language->secondName);
    FreeMem(language);
    return false;
  }
  language->node.name = ownName;
  language->number = number;
  language->code = code;
  language->spare1 = spare1;
  language->spare2 = spare2;
  AddTail(&languages->list, &language->node);
  return true;
}

void ReleaseLanguage(ExecNode* element) {
  Language* language = reinterpret_cast<Language*>(element);
  if (language->node.name) FreeMem(const_cast<char*>(language->node.name));
  if (language->secondName) FreeMem(language->secondName);
  language->node.name = nullptr;
  language->secondName = nullptr;
}

void InitLanguages() {
  ExecList* languages = LanguagesList();
  languages->release = ReleaseLanguage;
  EmptyList(languages, true);
  AddLanguage("English", "English", 0, 0, 1033, 0);
  const char* system = SystemDirectory();
  const char* folder = system ? ResourcePath(system, "Scripts") : nullptr;
  const char* path = folder ? SettingsFilePath(folder) : nullptr;
  // No system.ini: English only.
  if (path) ReadScriptSection(path, "Exec", kSystemKeys, ReadLangLine, nullptr);
}

uint16_t LanguageCode(uint32_t number) {
  Language* language = FindByNumber(number);
  return language ? language->code : 0;
}

const CurrentLanguageState& CurrentLanguage() { return gCurrent; }

void SetCurrentLanguageNumber(uint8_t number) { gCurrent.number = number; }

void SetCurrentLanguage(uint32_t number) {
  gCurrent.number = static_cast<uint8_t>(number);
  gCurrent.thousandsSeparator = ',';
  gCurrent.decimalPoint = '.';
  if (Language* language = FindByNumber(gCurrent.number)) gCurrent.spare = language->spare1;
  InstallUnitTables();
}

bool FindScriptLanguageMarker(ScriptDocument* document) {
  ExecList* languages = LanguagesList();
  uint32_t count = CountNodes(&languages->list);
  if (count == 0) {
    char message[96];
    snprintf(message, sizeof message, "FindScriptLanguageMarker: Could not find installed language %d",
             gCurrent.number);
    EXEC_ASSERT_AT("Exec\\MultiLang", 48, message);
    return false;
  }
  uint32_t index = gCurrent.number < count ? gCurrent.number : count - 1;
  const Language* language = reinterpret_cast<const Language*>(GetNthNode(&languages->list, index));
  ExecList cells;
  InitXmlCellList(&cells);
  bool found = FindMarkerIn(document, language->node.name, &cells);
  EmptyXmlCells(&cells);
  if (!found) {
    LogPrintf(1, "FindScriptLanguageMarker: Could not find language %s in script %s", language->node.name,
              document->fileName ? document->fileName : "");
    LogPrintf(1, "Defaulting to English.");
    gCurrent.number = 0;
  }
  return found;
}

bool InstallMText(MultiLangTable* table, const char* path, const char* tableName) {
  if (table->setUp && table->language == gCurrent.number) return true;
  if (!SetUpTable(table, kTableStep)) return false;
  ScriptDocument* document = path ? OpenScript(path) : nullptr;
  if (!document) {
    LogPrintf(1, "InstallMText: Could not open %s", path ? path : "");
    return false;
  }
  // A shared document may have been read before; the markers are searched from the top.
  document->position = document->textStart;
  ExecList cells;
  InitXmlCellList(&cells);
  if (!FindScriptLanguageMarker(document) || !FindMarkerIn(document, tableName, &cells)) {
    EmptyXmlCells(&cells);
    ReleaseScript(document);
    return false;
  }
  FreeTexts(table);
  table->language = gCurrent.number;
  XmlCursor cursor = CursorOf(document);
  while (ReadRow(&cursor, &cells)) {
    XmlCell* cell = XmlCellAt(&cells, gCurrent.number);
    if (!cell || cell->text[0] == '\0' || cell->text[0] == '[') continue;
    if (AppendTable(&table->table, &cell->text, kTableStep)) {
      cell->text = nullptr;  // the table owns it now
      cell->node.name = nullptr;
    }
  }
  document->position = reinterpret_cast<const uint8_t*>(cursor.position);
  EmptyXmlCells(&cells);
  ReleaseScript(document);
  return true;
}

bool InstallMTextByName(MultiLangTable* table, const char* fileName, const char* tableName) {
  const char* system = SystemDirectory();
  const char* folder = system ? ResourcePath(system, "Scripts") : nullptr;
  if (!folder) return false;
  char path[kPathMax];
  if (snprintf(path, sizeof path, "%s%s.xml", folder, fileName) >= static_cast<int>(sizeof path)) {
    LogPrintf(0, "InstallMTextByName: path too long for %s\n", fileName);
    return false;
  }
  return InstallMText(table, path, tableName);
}

void FreeMultiLangTable(MultiLangTable* table) {
  FreeTexts(table);
  if (table->table.data) FreeTable(&table->table);
  table->language = kNoLanguage;
  table->setUp = false;
}

const char* MultiLangText(const MultiLangTable* table, uint32_t index) {
  if (!table->table.data) return "Invalid Multi Lang Table";
  if (index >= table->table.count) return nullptr;
  return *static_cast<char**>(TableEntry(&table->table, index));
}

MultiLangTable* TimeUnitsTable() { return &gTimeUnits; }
MultiLangTable* MemUnitsTable() { return &gMemUnits; }
MultiLangTable* NominalUnitsTable() { return &gNominalUnits; }
MultiLangTable* DateTable() { return &gDate; }

void InstallUnitTables() {
  SetMemUnitTexts(MemUnitText);
  for (const UnitTable& unit : kUnitTables) {
    if (!SetUpTable(unit.table, unit.capacity)) continue;
    InstallMTextByName(unit.table, "Exec", unit.name);
  }
}

void FreeUnitTables() {
  SetMemUnitTexts(nullptr);
  for (const UnitTable& unit : kUnitTables) FreeMultiLangTable(unit.table);
}

const char* MemUnitText(uint32_t index) { return MultiLangText(&gMemUnits, index); }

void StartLanguages(uint16_t language) {
  SetCurrentLanguageNumber(static_cast<uint8_t>(language));
  InitLanguages();
  InstallUnitTables();
  SetCurrentLanguage(gCurrent.number);
}
