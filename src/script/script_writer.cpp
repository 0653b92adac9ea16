// The section writer: BeginSection finds the section to replace, AddKey and the
// value operations collect the new lines, WriteSection produces the file.
#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "exec/memory.h"
#include "exec/text.h"
#include "script/atomic_file.h"
#include "script/script.h"
#include "script/script_internal.h"

namespace {

// Longest quoted form: the reader's longest value, every byte escaped, and the
// two quotes.
constexpr size_t kQuotedMax = 2 * kScriptTokenMax + 2;

// Where the old section ends: at the next '[' that starts a token. A '[' inside
// a quoted value or in the middle of a value does not count, so a value such as
// "Rally [beta]" cannot cut the section short (the cut-off rest would otherwise
// stay behind the new section and grow with every save); nor does one that
// starts a value right after '=' (typed by hand without quotes), nor one in a
// comment ("// see [notes]"), which the reader skips whole: "//" to the line
// end, "/*" to "*/". Quoted parts are only taken within their line: values are
// never written across lines, and an unclosed quote typed by hand must not
// swallow the sections after it. The end of the data (NUL or 0x1A) ends the
// section too.
const uint8_t* SectionEnd(const uint8_t* p, const uint8_t* end) {
  auto endsLine = [](uint8_t c) { return c == '\r' || c == '\n' || c == 0x00 || c == 0x1A; };
  auto endsData = [](uint8_t c) { return c == 0x00 || c == 0x1A; };
  bool tokenStart = true;
  bool valueNext = false;  // after '=', before the value's first byte
  while (p < end) {
    uint8_t c = *p;
    if (c == '[' && tokenStart && !valueNext) return p;
    // The reader stops at the end of the data; what lies behind it is kept.
    if (endsData(c)) return p;
    if (c == '/' && p + 1 < end && (p[1] == '/' || p[1] == '*')) {
      const bool block = p[1] == '*';
      p += 2;
      if (block) {
        while (p < end && !endsData(*p) && !(p[0] == '*' && p + 1 < end && p[1] == '/')) ++p;
        if (p < end && *p == '*') p += 2;
      } else {
        while (p < end && *p != '\n' && !endsData(*p)) ++p;
      }
      tokenStart = true;
      continue;
    }
    if (c == '"' || c == '\'') {
      const uint8_t* q = p + 1;
      while (q < end && *q != c && !endsLine(*q)) {
        if (c == '\'' && *q == '\\' && q + 1 < end && !endsLine(q[1])) ++q;
        ++q;
      }
      if (q < end && *q == c) {
        p = q + 1;
        tokenStart = true;
        valueNext = false;
        continue;
      }
    }
    if (c == '=') {
      valueNext = true;
    } else if (c != ' ' && c != '\t') {
      valueNext = false;
    }
    tokenStart = IsScriptSeparator(c);
    ++p;
  }
  return end;
}

uint32_t TextLength(const ScriptDocument* document) {
  return static_cast<uint32_t>(document->textEnd - document->textStart);
}

// Where the data ends: the first NUL or 0x1A, or the end of the text. A new
// section goes there rather than behind such a byte, where the reader would
// never see it (a file padded with NULs by a crash would otherwise lose every
// save).
uint32_t DataLength(const ScriptDocument* document) {
  const uint8_t* p = document->textStart;
  while (p < document->textEnd && *p != 0x00 && *p != 0x1A) ++p;
  return static_cast<uint32_t>(p - document->textStart);
}

// True when an appended section needs a line break in front of it.
bool NeedsLeadingBreak(const ScriptDocument* document) {
  if (document->oldSectionLength != 0) return false;
  uint32_t offset = document->sectionOffset;
  if (offset == 0) return false;
  uint8_t last = document->textStart[offset - 1];
  return last != '\n' && last != '\r';
}

bool AppendValue(ScriptKeyLine* line, const char* text, size_t length) {
  if (!line) return false;
  ScriptValue* value = NewScriptValue(text, length, nullptr, nullptr);
  if (!value) {
    LogPrintf(0, "AddKey: Could not allocate memory\n");
    return false;
  }
  AddTail(&line->values, &value->node);
  ++line->valueCount;
  return true;
}

// True when the text, written as it is, reads back as this one value.
bool ReadsBackPlain(const char* text) {
  for (const char* p = text; *p; ++p) {
    uint8_t c = static_cast<uint8_t>(*p);
    if (IsScriptSeparator(c) || c == '"' || c == '\'' || c == '[') return false;
    if (c == '/' && (p[1] == '/' || p[1] == '*')) return false;
  }
  return true;
}

}  // namespace

void FreeKeyLines(ScriptDocument* document) {
  while (ExecNode* node = RemoveHead(&document->pendingLines)) {
    ScriptKeyLine* line = reinterpret_cast<ScriptKeyLine*>(node);
    FreeValues(&line->values);
    FreeMem(line);
  }
}

bool BeginSection(ScriptDocument* document, const char* section) {
  if (!document) return false;
  size_t length = section ? strlen(section) : 0;
  // The header must be found again by the reader, or every save would add one more.
  if (length == 0 || length > kScriptSectionNameMax || strpbrk(section, "[]\r\n\x1a")) {
    LogPrintf(0, "BeginSection: bad section name\n");
    return false;
  }
  char* name = CopyText(section);
  if (!name) {
    LogPrintf(0, "BeginSection: Could not allocate memory\n");
    return false;
  }
  if (document->sectionName) FreeMem(document->sectionName);
  document->sectionName = name;

  document->sectionOffset = 0;
  document->oldSectionLength = 0;
  if (TextLength(document) > 0) {
    const uint8_t* bracket = nullptr;
    const uint8_t* after = nullptr;
    if (SearchSection(document, section, &bracket, &after)) {
      document->sectionOffset = static_cast<uint32_t>(bracket - document->textStart);
      document->oldSectionLength = static_cast<uint32_t>(SectionEnd(after, document->textEnd) - bracket);
    } else {
      document->sectionOffset = DataLength(document);
    }
  }
  FreeKeyLines(document);
  return true;
}

ScriptKeyLine* AddKey(ScriptDocument* document, const ScriptKey* keys, uint16_t id) {
  if (!document || !document->sectionName) {
    LogPrintf(0, "AddKey: no section begun\n");
    return nullptr;
  }
  const ScriptKey* key = keys;
  while (key && key->name && key->id != id) ++key;
  if (!key || !key->name) {
    LogPrintf(0, "AddKey: Unknown key id %u\n", id);
    return nullptr;
  }
  ScriptKeyLine* line = static_cast<ScriptKeyLine*>(AllocMem(kMainPoolId, sizeof(ScriptKeyLine)));
  if (!line) {
    LogPrintf(0, "AddKey: Could not allocate memory\n");
    return nullptr;
  }
  ClearMem(line, sizeof(ScriptKeyLine));
  line->node.name = key->name;
  InitListHeader(&line->values);
  AddTail(&document->pendingLines, &line->node);
  return line;
}

bool AddNumber(ScriptKeyLine* line, int32_t number) {
  char text[16];
  // The number rule reads at most ten characters: below -999999999 a decimal
  // takes eleven and would read back as 0, so those go in hexadecimal, which
  // reads back exactly.
  int length = number < -999999999
                   ? snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(number)))
                   : snprintf(text, sizeof text, "%ld", static_cast<long>(number));
  return AppendValue(line, text, static_cast<size_t>(length));
}

bool AddUnsigned(ScriptKeyLine* line, uint32_t number) {
  char text[16];
  int length = snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(number));
  return AppendValue(line, text, static_cast<size_t>(length));
}

bool AddString(ScriptKeyLine* line, const char* text) {
  if (!text || !text[0]) return AppendValue(line, "\"\"", 2);
  if (strpbrk(text, "\r\n\x1a")) {
    // A line break would split the key line and 0x1A ends the data: keep the
    // line's value count with an empty value instead.
    LogPrintf(0, "AddString: value with a line break or 0x1A not written\n");
    AppendValue(line, "\"\"", 2);
    return false;
  }
  size_t length = strlen(text);
  if (length > kScriptTokenMax) {
    // The reader keeps no more than this of a value: cut, it would come back
    // as another value than the one stored, so it is not stored at all.
    LogPrintf(0, "AddString: value of %u characters not written (at most %u)\n",
              static_cast<unsigned>(length), static_cast<unsigned>(kScriptTokenMax));
    AppendValue(line, "\"\"", 2);
    return false;
  }
  if (ReadsBackPlain(text)) return AppendValue(line, text, length);
  char form[kQuotedMax + 1];
  size_t used = 0;
  if (!strchr(text, '"')) {
    // Double quotes take everything up to the next double quote as it is.
    form[used++] = '"';
    memcpy(form + used, text, length);
    used += length;
    form[used++] = '"';
  } else {
    // A double quote can only travel inside single quotes, where a backslash
    // takes the next character as it is.
    form[used++] = '\'';
    for (const char* p = text; *p; ++p) {
      if (*p == '\'' || *p == '\\') form[used++] = '\\';
      form[used++] = *p;
    }
    form[used++] = '\'';
  }
  return AppendValue(line, form, used);
}

uint32_t ScriptNewTextSize(const ScriptDocument* document) {
  uint64_t size = TextLength(document) - document->oldSectionLength;
  if (NeedsLeadingBreak(document)) size += 2;
  size += strlen(document->sectionName ? document->sectionName : "") + 6;
  for (const ExecNode* node = FirstNode(&document->pendingLines); node; node = NextNode(node)) {
    const ScriptKeyLine* line = reinterpret_cast<const ScriptKeyLine*>(node);
    size += strlen(line->node.name) + 3;
    for (const ExecNode* value = FirstNode(&line->values); value; value = NextNode(value)) {
      size += strlen(value->name) + (NextNode(value) ? 1 : 0);
    }
  }
  return size > 0xFFFFFFF0u ? 0 : static_cast<uint32_t>(size);
}

bool WriteSection(ScriptDocument* document) {
  if (!document || !document->sectionName || !document->fileName) {
    LogPrintf(0, "WriteSection: no section begun\n");
    return false;
  }
  uint32_t size = ScriptNewTextSize(document);
  uint8_t* bytes = size ? static_cast<uint8_t*>(AllocMem(kMainPoolId, size)) : nullptr;
  ScriptText* text = bytes ? NewScriptText(bytes, size) : nullptr;
  bool ok = text != nullptr;
  if (!ok) {
    LogPrintf(0, "WriteSection: Could not allocate memory\n");
    if (bytes) FreeMem(bytes);
  }
  if (ok) {
    // The bytes around the section come from the text the document was read
    // from, the same bytes its offsets were measured in.
    uint8_t* out = bytes;
    auto put = [&out](const void* from, size_t length) {
      if (length) memcpy(out, from, length);
      out += length;
    };
    const uint8_t* start = document->textStart;
    uint32_t offset = document->sectionOffset;
    put(start, offset);
    if (NeedsLeadingBreak(document)) put("\r\n", 2);
    put("[", 1);
    put(document->sectionName, strlen(document->sectionName));
    put("]\r\n", 3);
    for (const ExecNode* node = FirstNode(&document->pendingLines); node; node = NextNode(node)) {
      const ScriptKeyLine* line = reinterpret_cast<const ScriptKeyLine*>(node);
      put(line->node.name, strlen(line->node.name));
      put("=", 1);
      for (const ExecNode* value = FirstNode(&line->values); value; value = NextNode(value)) {
        put(value->name, strlen(value->name));
        if (NextNode(value)) put(",", 1);
      }
      put("\r\n", 2);
    }
    put("\r\n", 2);
    uint32_t tail = offset + document->oldSectionLength;
    put(start + tail, TextLength(document) - tail);
    if (static_cast<uint32_t>(out - bytes) != size) {
      EXEC_ASSERT("Exec\\Script", "WriteSection: size mismatch");
      ok = false;
    }
    if (ok) ok = atomic_file::Replace(document->fileName, bytes, size);
    if (ok) {
      SetScriptText(document, text);
    } else {
      DropScriptText(text);
    }
  }
  FreeMem(document->sectionName);
  document->sectionName = nullptr;
  return ok;
}
