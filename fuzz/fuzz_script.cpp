// Fuzz target: the Script reader over arbitrary bytes with every handler shape
// (one value, a fixed count running on over line ends, eleven numbers, values to
// the line end, no values), the token walk, the section search, and, for inputs
// whose first byte has its top bit set, a write of values taken from the input
// into the input text that must read back the same and be stable on a rewrite.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "exec/log.h"
#include "fuzz_runtime.h"
#include "exec/memory.h"
#include "script/script.h"

namespace {

std::string gPath;

bool StartOnce() {
  static bool started = [] {
    // tmpfs when there is one: the writer flushes every file it writes.
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    gPath = std::string(folder) + "/ts_fuzz_script_" + std::to_string(getpid()) + ".ini";
    return StartRuntimeOnce(0x4000000);
  }();
  return started;
}

const ScriptKey kKeys[] = {
    {"FLAGS", 0, 1},   {"PAIR", 1, 2},  {"USED_DEVICE_GUID", 2, 11},
    {"LIST", 3, ScriptKeyToLineEnd}, {"NONE", 4, 0}, {"", 5, 1}, {nullptr, 0, 0},
};

int gContextTag;

void CheckText(const char* text) {
  if (!text || strlen(text) > kScriptTokenMax) __builtin_trap();
}

int Consume(uint16_t id, ScriptCursor* cursor) {
  if (cursor->context != &gContextTag) __builtin_trap();
  switch (id) {
    case 0: NextNumber(cursor); break;
    case 1:
      for (int i = 0; i < 3; ++i) {
        const char* value = NextString(cursor);
        if (value) CheckText(value);
      }
      break;
    case 2:
      for (int i = 0; i < 12; ++i) NextNumber(cursor);
      if (NextNumber(cursor) != 0) __builtin_trap();
      break;
    default: {
      uint32_t left = ValuesLeft(cursor);
      uint32_t seen = 0;
      while (const char* value = NextString(cursor)) {
        CheckText(value);
        ParseNumber(value);
        ++seen;
      }
      if (seen != left) __builtin_trap();
    }
  }
  return 0;
}

void WalkTokens(ScriptDocument* document) {
  document->position = document->textStart;
  document->flags = 0;
  size_t steps = 0;
  size_t limit = static_cast<size_t>(document->textEnd - document->textStart) + 2;
  while (!(document->flags & kScriptEnd)) {
    const uint8_t* before = document->position;
    CheckText(ReadToken(document));
    EndOfLine(document);
    if (!(document->flags & kScriptEnd) && document->position <= before) __builtin_trap();
    if (document->position > document->textEnd || ++steps > limit) __builtin_trap();
  }
}

struct Collected {
  std::vector<std::string> values;
};

int CollectList(uint16_t id, ScriptCursor* cursor) {
  Collected* out = static_cast<Collected*>(cursor->context);
  if (id == 3 && out->values.empty()) {
    while (const char* value = NextString(cursor)) out->values.push_back(value);
    if (out->values.empty()) out->values.push_back("\x01(empty line)");
  }
  return 0;
}

std::string DocumentText(const ScriptDocument* document) {
  return std::string(reinterpret_cast<const char*>(document->textStart),
                     static_cast<size_t>(document->textEnd - document->textStart));
}

bool WriteValues(ScriptDocument* document, const std::vector<std::string>& values) {
  if (!BeginSection(document, "S")) __builtin_trap();
  ScriptKeyLine* line = AddKey(document, kKeys, 3);
  for (const std::string& value : values) {
    if (!AddString(line, value.c_str())) __builtin_trap();
  }
  return WriteSection(document);
}

void RoundTrip(const uint8_t* data, size_t size) {
  // Values: the input split at LF, bytes that cannot be written replaced.
  std::vector<std::string> values(1);
  for (size_t i = 0; i < size && values.size() <= 8; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\n') {
      values.emplace_back();
    } else if (values.back().size() < 200) {
      values.back() += (c == '\r' || c == 0x00 || c == 0x1A) ? 'x' : c;
    }
  }
  ScriptDocument* document = NewScriptDocument(gPath.c_str(), data, static_cast<uint32_t>(size));
  if (!document) return;
  if (!WriteValues(document, values)) __builtin_trap();
  std::string first = DocumentText(document);

  Collected collected;
  document->context = &collected;
  ReadSection(document, "s", kKeys, CollectList);
  if (collected.values != values) __builtin_trap();

  // Writing the same section again changes nothing.
  if (!WriteValues(document, values)) __builtin_trap();
  if (DocumentText(document) != first) __builtin_trap();
  DeleteScriptDocument(document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartOnce() || size == 0) return 0;
  uint8_t mode = data[0];
  ++data;
  --size;
  uint64_t available = AvailPoolMem();

  ScriptDocument* document = NewScriptDocument("fuzz.ini", data, static_cast<uint32_t>(size));
  if (!document) __builtin_trap();
  document->context = &gContextTag;
  WalkTokens(document);
  static const char* const kSections[] = {"S", nullptr, "Config", "]"};
  ReadSection(document, kSections[mode & 3], kKeys, Consume);
  ReadSection(document, "s", kKeys, Consume);

  // Preparing a section over any text stays inside it.
  if (BeginSection(document, "S")) {
    size_t length = static_cast<size_t>(document->textEnd - document->textStart);
    if (document->sectionOffset > length ||
        document->sectionOffset + static_cast<size_t>(document->oldSectionLength) > length) {
      __builtin_trap();
    }
    ScriptKeyLine* line = AddKey(document, kKeys, 2);
    AddNumber(line, static_cast<int32_t>(size));
    std::string tail(reinterpret_cast<const char*>(data) + (size > 32 ? size - 32 : 0), size > 32 ? 32 : size);
    AddString(line, tail.c_str());
    ScriptNewTextSize(document);
  }
  char number[17];
  size_t take = size < 16 ? size : 16;
  memcpy(number, data, take);
  number[take] = '\0';
  ParseNumber(number);
  DeleteScriptDocument(document);

  if (mode & 0x80) RoundTrip(data, size);
  unlink(gPath.c_str());
  if (AvailPoolMem() != available) __builtin_trap();  // every block given back
  return 0;
}
