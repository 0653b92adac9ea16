#pragma once
// Languages and multi-language text tables. The registry of languages comes from
// system.ini (section "Exec", key LANG); the tables take the current language's
// column of a spreadsheet saved as XML (Exec.xml) in the Script folder
// (base directory + "System\Resources\Scripts\").
#include <cstddef>
#include <cstdint>
#include "exec/list.h"
#include "exec/table.h"

struct ScriptDocument;

// An element of the "Languages" list (node.name is the owned name).
struct Language {
  ExecNode node;
  char* secondName;  // owned
  uint32_t number;   // chooses the language; also its column in the XML tables
  uint16_t code;     // Windows language code, 1033 for English
  uint8_t spare1;    // copied into the current-language state when made current
  uint8_t spare2;
};

struct CurrentLanguageState {
  uint8_t number;
  char thousandsSeparator;
  char decimalPoint;
  uint8_t spare;
};

constexpr uint16_t kNoLanguage = 65535;

// Owned texts (8-byte entries holding char*) of one language.
struct MultiLangTable {
  ExecTable table;
  uint16_t language;  // kNoLanguage when none
  bool setUp;
};

// ---- registry
// Registers a language; a known name (any case) keeps its first number and code.
bool AddLanguage(const char* name, const char* secondName, uint8_t spare1, uint32_t number, uint16_t code,
                 uint8_t spare2);
// Empties the registry, registers English, then every LANG line of system.ini.
void InitLanguages();
// Release operation of the "Languages" list: frees what an entry owns.
void ReleaseLanguage(ExecNode* element);
// The code of the registered language with that number, 0 when none.
uint16_t LanguageCode(uint32_t number);
const CurrentLanguageState& CurrentLanguage();
void SetCurrentLanguageNumber(uint8_t number);
// Number, ',' and '.', the language's first spare byte; installs the tables again.
void SetCurrentLanguage(uint32_t number);

// ---- tables
bool InstallMText(MultiLangTable* table, const char* path, const char* tableName);
// Path: Script resource folder + fileName + ".xml".
bool InstallMTextByName(MultiLangTable* table, const char* fileName, const char* tableName);
// Positions the document behind the row carrying the current language's marker.
bool FindScriptLanguageMarker(ScriptDocument* document);
void FreeMultiLangTable(MultiLangTable* table);
// Text `index` of the table, null past its entries, "Invalid Multi Lang Table"
// when it has no storage.
const char* MultiLangText(const MultiLangTable* table, uint32_t index);

// The four tables of the runtime.
MultiLangTable* TimeUnitsTable();
MultiLangTable* MemUnitsTable();
MultiLangTable* NominalUnitsTable();
MultiLangTable* DateTable();
// Sets the four tables up when needed and installs them from Exec.xml.
void InstallUnitTables();
void FreeUnitTables();

const char* MemUnitText(uint32_t index);

// InitExec's language step: number from the start-up record, registry, tables,
// then the current-language state once more.
void StartLanguages(uint16_t language);
