#pragma once
// Script documents: the INI-like text files of the program (config.ini,
// GameProfiles.ini, the online script, system.ini). A document is its raw text
// plus a read cursor; callers read one section at a time through a key table and
// a handler, and the writer replaces one whole section and keeps every other
// byte of the file.
#include <cstddef>
#include <cstdint>

#include "exec/list.h"
#include "exec/resource.h"
#include "script/script_text.h"

// Number of values meaning "every value up to the end of the line".
constexpr int16_t ScriptKeyToLineEnd = 32767;

// One row of a caller's key table; a row with a null name ends the table.
struct ScriptKey {
  const char* name;  // upper case, as written in files
  uint16_t id;
  int16_t count;
};

// One value handed to a handler (node.name is the owned value text).
struct ScriptValue {
  ExecNode node;
  void* context;
  void* context2;
};

// What a handler reads its values through.
struct ScriptCursor {
  ScriptValue* value;  // the next value, null when none is left
  void* context;       // the document's caller context (also in every value)
  void* context2;
};

// Called once per recognised key line; the result is ignored.
using ScriptHandler = int (*)(uint16_t id, ScriptCursor* cursor);

// A key line waiting to be written (node.name is the key table's name, not owned;
// the values are ScriptValue nodes holding the text exactly as it is written).
struct ScriptKeyLine {
  ExecNode node;
  ExecListHeader values;
  uint32_t valueCount;
};

// The text of a document, shared between documents of the same base name.
struct ScriptText;

constexpr uint32_t kScriptEnd = 0x1;  // flags: end of the data or of the section

struct ScriptDocument {
  ResourceHeader header;  // must come first: the resource system links documents by it
  char* fileName;         // owned; the writer writes to this path
  const uint8_t* textStart;
  const uint8_t* textEnd;  // one past the last byte
  const uint8_t* position;
  OwnedText token;         // the token last read
  uint32_t flags;
  void* context;
  void* context2;
  uint32_t sectionOffset;
  uint32_t oldSectionLength;
  ExecListHeader pendingLines;  // ScriptKeyLine
  char* sectionName;            // owned, as the caller gave it
  ScriptText* text;             // owner of textStart..textEnd, null when empty
};

// Longest token or section name kept; longer ones are cut.
constexpr size_t kScriptTokenMax = 1023;
constexpr size_t kScriptSectionNameMax = 127;

// ---- documents through the resource system ("Scripts" list)
// An existing document, or null when the file is missing or unreadable.
ScriptDocument* OpenScript(const char* name);
// A copy of the given bytes registered under name (no file is created); with
// bytes null it behaves as OpenScript.
ScriptDocument* OpenScriptFromMemory(const char* name, const void* bytes, uint32_t count);
// For writing: the existing document, or a new empty one (which creates the empty file).
ScriptDocument* OpenScriptForWriting(const char* name);
void ReleaseScript(ScriptDocument* document);

// ---- one section of a named document, from open to release
// Reads the section with the keys and the handler (context is the cursor's
// context). False when the file is missing or cannot be read.
bool ReadScriptSection(const char* name, const char* section, const ScriptKey* keys,
                       ScriptHandler handler, void* context);
// One section to read: its name, key table and handler.
struct ScriptSectionRead {
  const char* section;
  const ScriptKey* keys;
  ScriptHandler handler;
};
// ReadScriptSection for several sections of one document, opened and read once.
bool ReadScriptSections(const char* name, const ScriptSectionRead* reads, size_t count, void* context);
// ReadScriptSections for a document the program rewrites at exit (config.ini,
// GameProfiles.ini). A file that is there but could not be read (held by
// another program, too big, a read error) is copied to "<file>.bak" first, and
// logged, so that the save at exit never replaces the only copy; when even the
// copy fails the caller must leave the file alone.
enum class StartRead { kRead, kMissing, kUnreadableCopied, kUnreadableLeaveAlone };
StartRead ReadScriptSectionsAtStart(const char* name, const ScriptSectionRead* reads, size_t count,
                                    void* context);
constexpr char kUnreadableCopySuffix[] = ".bak";

// Adds the section's key lines; false when one of them could not be added.
using ScriptSectionKeys = bool (*)(ScriptDocument* document, const void* context);
// Replaces the section of the named document (started empty when there is no
// file) with the lines addKeys gives. A section that could not be completed is
// not written: the file keeps its old text. True when the file was written.
bool WriteScriptSection(const char* name, const char* section, ScriptSectionKeys addKeys,
                        const void* context);

// The Script handler (registered as "Scripts", type 0x115, extension ".ini").
void* ScriptDispatch(ResourceHandler* handler, int op, void* arg);
// Element release of the "Scripts" list: destroys a document left in the list.
void ReleaseScriptElement(ExecNode* element);

// ---- documents without the resource system (the handler builds on these)
// A document owning a copy of the bytes; fileName is where WriteSection writes.
ScriptDocument* NewScriptDocument(const char* fileName, const void* bytes, uint32_t count);
// Files the user picks in a file dialog, outside the resource system (which
// would share the text of a loaded document of the same base name): a
// document of the whole file, null when it is missing, unreadable or larger
// than maxSize; or, for a file to be written whole, an empty one.
// WriteSection writes to the path; DeleteScriptDocument releases them.
ScriptDocument* OpenUserScript(const char* utf8Path, size_t maxSize);
ScriptDocument* NewUserScript(const char* utf8Path);
// Frees everything the document holds and the document itself.
void DeleteScriptDocument(ScriptDocument* document);
// Makes target use the same text as source (no copy).
void ShareScriptText(ScriptDocument* target, const ScriptDocument* source);

// ---- reading
void ReadSection(ScriptDocument* document, const char* section, const ScriptKey* keys,
                 ScriptHandler handler);
// Next value as a number, 0 when none is left (the cursor then stays).
int32_t NextNumber(ScriptCursor* cursor);
// Next value as text, null when none is left. Valid during the handler call.
const char* NextString(ScriptCursor* cursor);
uint32_t ValuesLeft(const ScriptCursor* cursor);
int32_t ParseNumber(const char* text);

// Low-level reading (the section reader is built on these; tools and tests use them).
// Reads the next token into document->token.text; empty at the end of the data.
const char* ReadToken(ScriptDocument* document);
bool EndOfLine(const ScriptDocument* document);
// Puts the read position just behind the ']' of the section; false when absent.
bool FindSection(ScriptDocument* document, const char* section);

// ---- writing
// False when the name cannot be written as a header that reads back (empty, too
// long, or holding '[', ']', CR or LF).
bool BeginSection(ScriptDocument* document, const char* section);
ScriptKeyLine* AddKey(ScriptDocument* document, const ScriptKey* keys, uint16_t id);
// A number that reads back the same ("%ld", or "0x%08lX" below -999999999).
bool AddNumber(ScriptKeyLine* line, int32_t number);
// An unsigned 32-bit value ("%lu", at most 10 digits), which the number rule
// reads back whole; AddNumber would write values above 2^31 - 1 with a minus
// sign and 11 characters, which read back as 0.
bool AddUnsigned(ScriptKeyLine* line, uint32_t number);
// Quotes the text whenever it would not read back as the same single value. A
// text that cannot be written at all (it holds the byte 0x1A) is stored as an
// empty value and the result is false.
bool AddString(ScriptKeyLine* line, const char* text);
// Writes the file through a temporary file that replaces it only when complete;
// on failure the file and the document keep their old text.
bool WriteSection(ScriptDocument* document);
// The exact size WriteSection will write (after BeginSection and the keys).
uint32_t ScriptNewTextSize(const ScriptDocument* document);
