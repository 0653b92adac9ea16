// Script documents as resources: the Script handler's operations and the open
// and release calls the rest of the program uses.
#include "script/script.h"

#include <cstdio>
#include <cstring>

#include "exec/file.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "exec/resource.h"
#include "exec/text.h"
#include "script/script_internal.h"

namespace {

// Bytes handed from OpenScriptFromMemory to the handler's initialise operation
// (the resource system's create mode carries no source data of its own).
struct MemorySource {
  const void* bytes;
  uint32_t count;
  bool pending;
};
MemorySource gMemorySource{};

// A document already loaded under the same base name, in any list of the handler.
const ScriptDocument* FindLoaded(ResourceHandler* handler, const char* path) {
  char wanted[kPathMax];
  char name[kPathMax];
  if (!handler || !BaseName(path, wanted, sizeof wanted)) return nullptr;
  for (uint32_t i = 0; i < handler->lists.count; ++i) {
    ExecList* list = *static_cast<ExecList**>(TableEntry(&handler->lists, i));
    if (!list) continue;
    for (ExecNode* node = FirstNode(&list->list); node; node = NextNode(node)) {
      if (node->name && BaseName(node->name, name, sizeof name) && SameTextIgnoringCase(name, wanted)) {
        return reinterpret_cast<const ScriptDocument*>(node);
      }
    }
  }
  return nullptr;
}

ScriptDocument* AllocateDocument() {
  ScriptDocument* document = static_cast<ScriptDocument*>(AllocMem(kMainPoolId, sizeof(ScriptDocument)));
  if (document) InitScriptDocument(document);
  return document;
}

void* InitialiseDocument(ResourceCreateArgs* args) {
  ScriptDocument* document = reinterpret_cast<ScriptDocument*>(args->object);
  if (!document) return nullptr;
  const char* name = args->name ? args->name : "";
  if (gMemorySource.pending) {
    gMemorySource.pending = false;
    if (!CopyScriptBytes(document, gMemorySource.bytes, gMemorySource.count)) return nullptr;
  } else if (args->source) {
    ShareScriptText(document, reinterpret_cast<const ScriptDocument*>(args->source));
  } else if (!VX_CreateFile(name)) {
    return nullptr;
  }
  return SetScriptFileName(document, name) ? document : nullptr;
}

void* OpenDocumentFile(ResourceHandler* handler, const char* path) {
  if (!path) return nullptr;
  ScriptDocument* document = AllocateDocument();
  if (!document) return nullptr;
  bool ok = SetScriptFileName(document, path);
  if (ok) {
    const ScriptDocument* loaded = FindLoaded(handler, path);
    if (loaded) {
      ShareScriptText(document, loaded);
    } else {
      ok = LoadScriptBytes(document, path);
    }
  }
  if (!ok) {
    DeleteScriptDocument(document);
    return nullptr;
  }
  return document;
}

}  // namespace

void* ScriptDispatch(ResourceHandler* handler, int op, void* arg) {
  switch (op) {
    case kResOpAllocate:
      return AllocateDocument();
    case kResOpRemoved:
      ReleaseScriptsList();
      return nullptr;
    case kResOpInit:
      return arg ? InitialiseDocument(static_cast<ResourceCreateArgs*>(arg)) : nullptr;
    case kResOpDestroy:
      // The resource system releases the owned name afterwards; only the
      // document's own parts go here.
      if (arg) DeleteScriptDocument(static_cast<ScriptDocument*>(arg));
      return nullptr;
    case kResOpOpenFile:
      return OpenDocumentFile(handler, static_cast<const char*>(arg));
    default:
      return nullptr;
  }
}

void ReleaseScriptElement(ExecNode* element) {
  if (!element) return;
  ScriptDocument* document = reinterpret_cast<ScriptDocument*>(element);
  if (element->next && element->prev) RemoveNode(element);
  if (document->header.ownedNameLength && element->name) FreeMem(const_cast<char*>(element->name));
  element->name = nullptr;
  DeleteScriptDocument(document);
}

ScriptDocument* OpenScript(const char* name) {
  ExecList* list = ScriptsList();
  if (!list || !name) {
    LogPrintf(0, "OpenScript: no Script resources\n");
    return nullptr;
  }
  if (!GenericOpen(list, name, 0, kOpenExists)) return nullptr;
  return static_cast<ScriptDocument*>(GenericOpen(list, name, kResOwnName, kOpenFile));
}

ScriptDocument* OpenScriptFromMemory(const char* name, const void* bytes, uint32_t count) {
  if (!bytes) return OpenScript(name);
  ExecList* list = ScriptsList();
  if (!list || !name) {
    LogPrintf(0, "OpenScriptFromMemory: no Script resources\n");
    return nullptr;
  }
  gMemorySource = MemorySource{bytes, count, true};
  void* document = GenericOpen(list, name, kResOwnName | kResFullPath, kOpenCreate);
  gMemorySource.pending = false;
  return static_cast<ScriptDocument*>(document);
}

ScriptDocument* OpenScriptForWriting(const char* name) {
  ExecList* list = ScriptsList();
  if (!list || !name) {
    LogPrintf(0, "OpenScriptForWriting: no Script resources\n");
    return nullptr;
  }
  if (GenericOpen(list, name, 0, kOpenExists)) {
    // It is there but could not be read: never replace a file we could not read.
    return static_cast<ScriptDocument*>(GenericOpen(list, name, kResOwnName, kOpenFile));
  }
  // A new document starts empty; WriteSection creates the file whole, so a
  // failed save never leaves an empty file behind.
  static const uint8_t kNothing = 0;
  return OpenScriptFromMemory(name, &kNothing, 0);
}

void ReleaseScript(ScriptDocument* document) {
  if (document) RemoveResource(document);
}

bool ReadScriptSections(const char* name, const ScriptSectionRead* reads, size_t count, void* context) {
  ScriptDocument* document = OpenScript(name);
  if (!document) return false;
  document->context = context;
  for (size_t i = 0; i < count; ++i) ReadSection(document, reads[i].section, reads[i].keys, reads[i].handler);
  ReleaseScript(document);
  return true;
}

bool ReadScriptSection(const char* name, const char* section, const ScriptKey* keys,
                       ScriptHandler handler, void* context) {
  const ScriptSectionRead read{section, keys, handler};
  return ReadScriptSections(name, &read, 1, context);
}

StartRead ReadScriptSectionsAtStart(const char* name, const ScriptSectionRead* reads, size_t count,
                                    void* context) {
  if (ReadScriptSections(name, reads, count, context)) return StartRead::kRead;
  char path[kPathMax];
  if (!ResourceFilePath(ScriptsList(), name, 0, path, sizeof path) || !os::PathExists(path)) {
    return StartRead::kMissing;
  }
  char copy[kPathMax + sizeof kUnreadableCopySuffix];
  snprintf(copy, sizeof copy, "%s%s", path, kUnreadableCopySuffix);
  if (CopyFileBytes(path, copy)) {
    LogPrintf(0, "ReadScriptSection: %s could not be read; a copy is kept as %s\n", name, copy);
    return StartRead::kUnreadableCopied;
  }
  LogPrintf(0, "ReadScriptSection: %s could not be read nor copied; it will not be replaced\n", name);
  return StartRead::kUnreadableLeaveAlone;
}

bool WriteScriptSection(const char* name, const char* section, ScriptSectionKeys addKeys,
                        const void* context) {
  ScriptDocument* document = OpenScriptForWriting(name);
  if (!document) {
    LogPrintf(0, "WriteScriptSection: Could not open %s\n", name ? name : "");
    return false;
  }
  bool ok = BeginSection(document, section) && addKeys(document, context);
  if (ok) {
    ok = WriteSection(document);
  } else {
    // A half-built section would lose what it left out: the old file is better.
    LogPrintf(0, "WriteScriptSection: [%s] of %s not written\n", section ? section : "", name);
  }
  ReleaseScript(document);
  return ok;
}
