#pragma once
// Typed resources: one handler per resource type knows how to allocate, create,
// open, duplicate and destroy its objects; GenericOpen resolves a name to a file,
// asks the handler and installs the object, with a reference count, in a resource
// list; RemoveResource counts down and destroys.
#include <cstddef>
#include <cstdint>
#include "exec/list.h"
#include "exec/table.h"

// Resource types: 0x100 + index into the type name table.
constexpr uint16_t kResourceTypeFirst = 0x100;
constexpr uint16_t kResourceTypeLast = 0x120;
constexpr uint16_t kResourceTypeCount = kResourceTypeLast - kResourceTypeFirst + 1;  // 33
constexpr uint16_t kResourceScript = 0x115;

// "Font", "Texture", ... "Script" ... "Snd_group"; null outside the range.
const char* ResourceTypeName(uint16_t type);

// Open flags.
constexpr uint16_t kResActive = 0x0001;       // operation 10 succeeded; cleared before destruction
constexpr uint16_t kResHandler0004 = 0x0004;  // handler-specific
constexpr uint16_t kResHandler0008 = 0x0008;
constexpr uint16_t kResHandler0010 = 0x0010;
constexpr uint16_t kResContainer = 0x0020;    // children are removed with it
constexpr uint16_t kResOwnName = 0x0040;      // keep an own copy of the base name
constexpr uint16_t kResShared = 0x0080;       // reuse an installed object of the same name
constexpr uint16_t kResActivate = 0x0100;     // operation 10 on install
constexpr uint16_t kResFullPath = 0x0200;     // no folder, no default extension
constexpr uint16_t kResDup0400 = 0x0400;      // with shared: duplicate instead of reusing
constexpr uint16_t kResDupKeep0004 = 0x0800;  // duplicate keeps 0x0004 (and duplicates)
constexpr uint16_t kResDupKeep0018 = 0x1000;  // duplicate keeps 0x0008/0x0010 (and duplicates)
constexpr uint16_t kResDupKeepActivate = 0x2000;  // duplicate keeps 0x0100
constexpr uint16_t kResQuiet = 0x4000;        // no warning when the file cannot be opened

// GenericOpen modes.
constexpr int kOpenCreate = 0;
constexpr int kOpenExists = 4;
constexpr int kOpenFile = 13;
constexpr int kOpenDuplicate = 14;

// Handler operation codes (second argument of the dispatch).
constexpr int kResOpAllocate = 0;    // arg: ResourceCreateArgs* (object, source null, name) -> zeroed object
constexpr int kResOpRemoved = 1;     // arg: ResourceCreateArgs* all null; the handler is going away
constexpr int kResOpInit = 2;        // arg: ResourceCreateArgs* (object, source or null, name) -> object
constexpr int kResOpDestroy = 3;     // arg: ResourceHeader*; non-null result = could not be removed.
                                     // Also called on an object whose operation 2 failed.
constexpr int kResOpActivate = 10;   // arg: ResourceHeader* -> object or null
constexpr int kResOpDeactivate = 11; // arg: ResourceHeader*
constexpr int kResOpOpenFile = 13;   // arg: const char* full path -> new object or null
constexpr int kResOpDuplicate = 14;  // arg: ResourceHeader* source (may be null) -> new object

// First fields of every object a handler makes. The node's type is the resource
// type once installed, its name the object's name.
struct ResourceHeader {
  ExecNode node;
  uint32_t refCount;
  uint16_t flags;
  uint16_t ownedNameLength;  // non-zero when node.name is owned (length + terminator)
};
// An owned node.name belongs to the resource system: handlers never free it.

// Container objects (kResContainer) keep their children here.
struct ResourceContainer {
  ResourceHeader header;
  ExecListHeader children;
};

struct ResourceCreateArgs {
  ResourceHeader* object;
  ResourceHeader* source;
  const char* name;
};

struct ResourceHandler;
using ResourceDispatch = void* (*)(ResourceHandler* handler, int op, void* arg);
using ResourceAuxOp = void* (*)(ResourceHandler* handler, int op, void* arg);

// What a caller passes to NewResourceHandler.
struct ResourceHandlerInfo {
  uint16_t type;
  uint16_t version;
  uint32_t magic;
  uint32_t recordSize;  // at least sizeof(ResourceHandler); 0 means exactly that
  ResourceDispatch dispatch;
  ResourceAuxOp aux;    // null: a do-nothing operation is used
  const char* name;
  const char* folder;     // "" or a folder relative to the system directory, or absolute
  const char* extension;  // ".ini"
  int16_t priority;
};

// One per installed type, an element of "Resource Handlers" (node.name is owned).
struct ResourceHandler {
  ExecNode node;
  ResourceDispatch dispatch;
  ResourceAuxOp aux;
  uint32_t reserved;
  ExecTable lists;   // ExecList* entries; null slots are free
  ExecList formats;  // elements own a text
  char* folder;
  char* extension;
  uint16_t version;
  uint16_t useCount;
  uint32_t magic;
};

ResourceHandler* NewResourceHandler(const ResourceHandlerInfo* info);
// Release operation of "Resource Handlers": reports what is still installed,
// tells the handler (operation 1) and frees the record.
void KillResourceHandler(ResourceHandler* handler);
ResourceHandler* HandlerForType(uint16_t type);  // null when none installed

// Mode 4 returns (void*)1 or null.
void* GenericOpen(ExecList* list, const char* name, uint16_t flags, int mode);
// The path GenericOpen opens for name in that list (the handler's folder and
// default extension); false when it does not fit in size bytes or the list
// has no handler.
bool ResourceFilePath(ExecList* list, const char* name, uint16_t flags, char* out, size_t size);
int RemoveResource(void* object);

// A resource list: an engine list in "Anchor" whose element type is the resource
// type, entered in its handler's table of lists. Null when the type has no handler.
// The release operation is called with an element that is still linked; it must
// take the element out of the list and destroy it completely (for instance by
// unlinking it and destroying it the way operation 3 does).
ExecList* CreateResourceList(const char* name, uint16_t type, ElementRelease release);
// Releases every element (above), takes the list out of "Anchor" and of the
// handler's table and frees it.
void FreeResourceList(ExecList* list);

// The runtime's "Scripts" list (created at start-up after the Script handler is
// registered). The Script handler's operation 1 calls ReleaseScriptsList.
ExecList* ScriptsList();
void SetScriptsList(ExecList* list);
void ReleaseScriptsList();

// Start (base directory: handler list, base and system directory texts, drive
// list) and removal (every handler, drive list, path texts).
bool StartResourceSystem(const char* baseDirectory);
void RemoveResourceSystem();
