// Script documents in memory and the section reader: tokens, section search,
// the end-of-line test, key lines and number parsing.
#include <cstring>

#include "exec/file.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/text.h"
#include "script/atomic_file.h"
#include "script/script.h"
#include "script/script_internal.h"

struct ScriptText {
  uint32_t references;
  uint32_t size;
  uint8_t* bytes;  // AllocMem block, null when size is 0
};

namespace {

// Tokens and section names are gathered here before they are copied out, so a
// token of any length costs one bounded buffer. Documents are read on the main
// thread only.
char gWork[kScriptTokenMax + 1];

}  // namespace

bool IsScriptSeparator(uint8_t c) {
  switch (c) {
    case 0x00: case 0x09: case 0x0A: case 0x0D: case 0x1A:
    case ' ': case '(': case ')': case ',': case '<': case '=': case '>': case '|':
      return true;
    default:
      return false;
  }
}

namespace {

bool EndsData(uint8_t c) { return c == 0x00 || c == 0x1A; }

}  // namespace

ScriptText* NewScriptText(uint8_t* bytes, uint32_t size) {
  ScriptText* text = static_cast<ScriptText*>(AllocMem(kMainPoolId, sizeof(ScriptText)));
  if (!text) return nullptr;
  text->references = 1;
  text->size = size;
  text->bytes = bytes;
  return text;
}

void DropScriptText(ScriptText* text) {
  if (!text || --text->references > 0) return;
  if (text->bytes) FreeMem(text->bytes);
  FreeMem(text);
}

namespace {

// Gathers characters into the work buffer; what does not fit is dropped.
struct Gather {
  size_t length = 0;
  void Add(uint8_t c) {
    if (length < kScriptTokenMax) gWork[length++] = static_cast<char>(c);
  }
};

// A quoted part from just behind its opening quote; p ends just behind the
// closing quote. False when the data ended first.
bool ReadQuoted(const uint8_t*& p, const uint8_t* end, uint8_t quote, Gather& gather) {
  while (p < end && *p != quote && !EndsData(*p)) {
    // Only single-quoted parts know the backslash escape.
    if (quote == '\'' && *p == '\\' && p + 1 < end && !EndsData(p[1])) ++p;
    gather.Add(*p++);
  }
  if (p < end && *p == quote) {
    ++p;
    return true;
  }
  return false;
}

}  // namespace

// ---- documents

void SetScriptText(ScriptDocument* document, ScriptText* text) {
  // An empty text still has an address, so the cursor arithmetic stays on real memory.
  static const uint8_t kNoText[1] = {0};
  DropScriptText(document->text);
  document->text = text;
  document->textStart = text && text->bytes ? text->bytes : kNoText;
  document->textEnd = text && text->bytes ? text->bytes + text->size : kNoText;
  document->position = document->textStart;
  document->flags = 0;
}

bool AdoptScriptBytes(ScriptDocument* document, uint8_t* bytes, uint32_t size) {
  ScriptText* text = NewScriptText(bytes, size);
  if (!text) return false;
  SetScriptText(document, text);
  return true;
}

bool CopyScriptBytes(ScriptDocument* document, const void* bytes, uint32_t count) {
  uint8_t* copy = nullptr;
  if (count > 0) {
    copy = static_cast<uint8_t*>(AllocMem(kMainPoolId, count));
    if (!copy) return false;
    memcpy(copy, bytes, count);
  }
  if (AdoptScriptBytes(document, copy, count)) return true;
  if (copy) FreeMem(copy);
  return false;
}

bool LoadScriptBytes(ScriptDocument* document, const char* path) {
  uint32_t size = 0;
  uint8_t* bytes = static_cast<uint8_t*>(LoadFile(path, &size));
  if (!bytes) return false;
  if (AdoptScriptBytes(document, bytes, size)) return true;
  FreeMem(bytes);
  return false;
}

void ShareScriptText(ScriptDocument* target, const ScriptDocument* source) {
  if (target == source) return;
  ScriptText* text = source->text;
  if (text) ++text->references;
  SetScriptText(target, text);
}

bool InitScriptDocument(ScriptDocument* document) {
  ClearMem(document, sizeof(ScriptDocument));
  InitListHeader(&document->pendingLines);
  SetScriptText(document, nullptr);
  return true;
}

bool SetScriptFileName(ScriptDocument* document, const char* fileName) {
  char* copy = CopyText(fileName);
  if (!copy) return false;
  if (document->fileName) FreeMem(document->fileName);
  document->fileName = copy;
  return true;
}

void ClearScriptDocument(ScriptDocument* document) {
  FreeKeyLines(document);
  if (document->sectionName) FreeMem(document->sectionName);
  document->sectionName = nullptr;
  if (document->fileName) FreeMem(document->fileName);
  document->fileName = nullptr;
  FreeText(&document->token);
  SetScriptText(document, nullptr);
}

ScriptDocument* NewScriptDocument(const char* fileName, const void* bytes, uint32_t count) {
  ScriptDocument* document = static_cast<ScriptDocument*>(AllocMem(kMainPoolId, sizeof(ScriptDocument)));
  if (!document) {
    LogPrintf(0, "NewScriptDocument: Could not allocate memory\n");
    return nullptr;
  }
  InitScriptDocument(document);
  if (!SetScriptFileName(document, fileName) || !CopyScriptBytes(document, bytes, bytes ? count : 0)) {
    LogPrintf(0, "NewScriptDocument: Could not allocate memory\n");
    DeleteScriptDocument(document);
    return nullptr;
  }
  return document;
}

ScriptDocument* OpenUserScript(const char* utf8Path, size_t maxSize) {
  size_t size = 0;
  char* bytes = atomic_file::ReadWhole(utf8Path, maxSize, &size);
  if (!bytes) return nullptr;
  ScriptDocument* document = NewScriptDocument(utf8Path, bytes, static_cast<uint32_t>(size));
  FreeMem(bytes);
  return document;
}

ScriptDocument* NewUserScript(const char* utf8Path) { return NewScriptDocument(utf8Path, nullptr, 0); }

void DeleteScriptDocument(ScriptDocument* document) {
  if (!document) return;
  ClearScriptDocument(document);
  FreeMem(document);
}

// ---- tokens

const char* ReadToken(ScriptDocument* document) {
  const uint8_t* p = document->position;
  const uint8_t* end = document->textEnd;
  Gather gather;
  // '(' and ')' end tokens like the other separators and carry nothing, so the
  // skip passes over them too; reading always advances.
  while (p < end && IsScriptSeparator(*p) && !EndsData(*p)) ++p;
  bool complete = true;
  if (p >= end || EndsData(*p)) {
    document->flags |= kScriptEnd;
    complete = false;
  } else {
    for (;;) {
      // Running into the end of the text still ends a whole token: a file whose
      // last line lacks its line end (a hand edit) keeps its last value. The
      // next read meets the end and sets the end flag.
      if (p >= end) break;
      uint8_t c = *p;
      if (IsScriptSeparator(c)) break;  // the data-ending bytes are separators too
      if (c == '"' || c == '\'') {
        ++p;
        if (!ReadQuoted(p, end, c, gather) && p >= end) complete = false;
        break;
      }
      if (c == '/' && p + 1 < end && p[1] == '/') {
        p += 2;
        while (p < end && *p != '\n' && !EndsData(*p)) ++p;
        break;
      }
      if (c == '/' && p + 1 < end && p[1] == '*') {
        p += 2;
        while (p < end && !EndsData(*p) && !(p[0] == '*' && p + 1 < end && p[1] == '/')) ++p;
        if (p < end && *p == '*') p += 2;
        break;
      }
      gather.Add(c);
      ++p;
    }
    if (!complete) document->flags |= kScriptEnd;
  }
  document->position = p;
  size_t length = complete ? gather.length : 0;
  if (!AssignText(&document->token, gWork, length)) {
    // Out of memory: a token that cannot be held ends the reading.
    document->flags |= kScriptEnd;
    if (document->token.text) document->token.text[0] = '\0';
    return "";
  }
  return document->token.text;
}

bool EndOfLine(const ScriptDocument* document) {
  const uint8_t* p = document->position;
  const uint8_t* end = document->textEnd;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '=')) ++p;
  if (end - p <= 1) return true;  // reached the last byte of the text
  return *p == '\r' || *p == '\n' || EndsData(*p);
}

// ---- sections

bool SearchSection(const ScriptDocument* document, const char* section, const uint8_t** bracket,
                   const uint8_t** after) {
  if (!section) return false;  // no name: no section to find
  size_t wantedLength = strlen(section);
  if (wantedLength > kScriptSectionNameMax) return false;  // no header can carry it
  char wanted[kScriptSectionNameMax + 1];
  memcpy(wanted, section, wantedLength + 1);
  UpperCaseText(wanted);

  const uint8_t* p = document->textStart;
  const uint8_t* end = document->textEnd;
  const uint8_t* open = nullptr;  // the '[' whose name is being gathered
  size_t length = 0;
  for (; p < end && !EndsData(*p); ++p) {
    uint8_t c = *p;
    if (c == '[') {
      // A later '[' starts a new candidate: every '[' is tried, and the text is
      // scanned once however many of them there are.
      open = p;
      length = 0;
    } else if (!open) {
      continue;
    } else if (c == ']') {
      if (length == wantedLength) {
        gWork[length] = '\0';
        UpperCaseText(gWork);
        if (memcmp(gWork, wanted, length) == 0) {
          *bracket = open;
          *after = p + 1;
          return true;
        }
      }
      open = nullptr;
    } else {
      if (length < kScriptSectionNameMax) gWork[length] = static_cast<char>(c);
      ++length;  // past the buffer it only serves to reject the name
    }
  }
  return false;
}

bool FindSection(ScriptDocument* document, const char* section) {
  const uint8_t* bracket = nullptr;
  const uint8_t* after = nullptr;
  if (!SearchSection(document, section, &bracket, &after)) return false;
  document->position = after;
  return true;
}

// ---- values

ScriptValue* NewScriptValue(const char* text, size_t length, void* context, void* context2) {
  // The text lives in the same block, right behind the item.
  ScriptValue* value = static_cast<ScriptValue*>(AllocMem(kMainPoolId, sizeof(ScriptValue) + length + 1));
  if (!value) return nullptr;
  ClearMem(value, sizeof(ScriptValue));
  char* copy = reinterpret_cast<char*>(value + 1);
  memcpy(copy, text, length);
  copy[length] = '\0';
  value->node.name = copy;
  value->context = context;
  value->context2 = context2;
  return value;
}

void FreeValues(ExecListHeader* values) {
  while (ExecNode* node = RemoveHead(values)) FreeMem(node);
}

namespace {

const ScriptKey* FindKey(const ScriptKey* keys, const char* name) {
  for (; keys && keys->name; ++keys) {
    if (strcmp(keys->name, name) == 0) return keys;
  }
  return nullptr;
}

// Reads the next token as a value; false at the end of the data.
bool ReadValue(ScriptDocument* document, ExecListHeader* values) {
  const char* token = ReadToken(document);
  if (document->flags & kScriptEnd) return false;
  ScriptValue* value = NewScriptValue(token, strlen(token), document->context, document->context2);
  if (!value) {
    LogPrintf(0, "ReadSection: Could not allocate memory\n");
    document->flags |= kScriptEnd;
    return false;
  }
  AddTail(values, &value->node);
  return true;
}

}  // namespace

void ReadSection(ScriptDocument* document, const char* section, const ScriptKey* keys,
                 ScriptHandler handler) {
  if (!document) return;
  document->flags &= ~kScriptEnd;
  if (section) {
    if (!FindSection(document, section)) return;
  } else {
    document->position = document->textStart;
  }
  ExecListHeader values;
  InitListHeader(&values);
  for (;;) {
    const char* token;
    do {
      token = ReadToken(document);
    } while (!token[0] && !(document->flags & kScriptEnd));
    if (token[0]) {
      UpperCaseText(document->token.text);
      if (token[0] == '[') document->flags |= kScriptEnd;
    }
    if (document->flags & kScriptEnd) break;

    const ScriptKey* key = FindKey(keys, document->token.text);
    if (!key) {
      while (!EndOfLine(document) && !(document->flags & kScriptEnd)) ReadToken(document);
      continue;
    }
    if (key->count == ScriptKeyToLineEnd) {
      while (!EndOfLine(document) && ReadValue(document, &values)) {
      }
    } else {
      for (int i = 0; i < key->count && ReadValue(document, &values); ++i) {
      }
    }
    if (EndOfLine(document) && handler) {
      ScriptCursor cursor{reinterpret_cast<ScriptValue*>(FirstNode(&values)), document->context,
                          document->context2};
      handler(key->id, &cursor);
    }
    FreeValues(&values);
  }
  FreeValues(&values);
}

int32_t NextNumber(ScriptCursor* cursor) {
  const char* text = NextString(cursor);
  return text ? ParseNumber(text) : 0;
}

const char* NextString(ScriptCursor* cursor) {
  if (!cursor || !cursor->value) return nullptr;
  const char* text = cursor->value->node.name;
  cursor->value = reinterpret_cast<ScriptValue*>(NextNode(&cursor->value->node));
  return text;
}

uint32_t ValuesLeft(const ScriptCursor* cursor) {
  if (!cursor || !cursor->value) return 0;
  uint32_t count = 0;
  for (const ExecNode* node = &cursor->value->node; node; node = NextNode(node)) ++count;
  return count;
}

// ---- numbers

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int32_t ParseHex(const char* text) {
  uint32_t value = 0;  // wraps: only the last eight digits count
  for (int digit; (digit = HexDigit(*text)) >= 0; ++text) value = value * 16 + static_cast<uint32_t>(digit);
  return static_cast<int32_t>(value);
}

// From the right: digits by place value, '-' negates and stops, anything else stops.
int32_t ParseDecimal(const char* text, size_t length) {
  if (length == 0 || length > 10) return 0;
  uint32_t value = 0;
  uint32_t place = 1;
  for (size_t i = length; i-- > 0;) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      value += static_cast<uint32_t>(c - '0') * place;
      place *= 10;
    } else {
      if (c == '-') value = 0u - value;
      break;
    }
  }
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t ParseNumber(const char* text) {
  if (!text) return 0;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return ParseHex(text + 2);
  size_t length = 0;
  for (; text[length]; ++length) {
    char c = text[length];
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+')) return ParseHex(text);
  }
  return ParseDecimal(text, length);
}
