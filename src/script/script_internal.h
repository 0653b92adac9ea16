#pragma once
// Shared between the Script reader, writer and handler; not for other callers.
#include <cstddef>
#include <cstdint>

#include "script/script.h"

bool IsScriptSeparator(uint8_t c);

// Document set-up and teardown (the handler's allocate/initialise/destroy).
bool InitScriptDocument(ScriptDocument* document);
bool SetScriptFileName(ScriptDocument* document, const char* fileName);
// Frees the texts, lists and the document's share of its text; the document
// object itself stays.
void ClearScriptDocument(ScriptDocument* document);

// Text of a document: a shared, reference-counted block.
// A text holding bytes (an AllocMem block or null) with one reference.
ScriptText* NewScriptText(uint8_t* bytes, uint32_t size);
// Drops one reference; the last one frees the bytes too.
void DropScriptText(ScriptText* text);
// Takes over the caller's reference to text and drops the old share.
void SetScriptText(ScriptDocument* document, ScriptText* text);
bool AdoptScriptBytes(ScriptDocument* document, uint8_t* bytes, uint32_t size);
bool CopyScriptBytes(ScriptDocument* document, const void* bytes, uint32_t count);
bool LoadScriptBytes(ScriptDocument* document, const char* path);

// Section search over the text: the '[' of the header and the byte behind its ']'.
bool SearchSection(const ScriptDocument* document, const char* section, const uint8_t** bracket,
                   const uint8_t** after);

ScriptValue* NewScriptValue(const char* text, size_t length, void* context, void* context2);
void FreeValues(ExecListHeader* values);
void FreeKeyLines(ScriptDocument* document);
