#include "exec/resource.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "exec/file.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "exec/resource_internal.h"
#include "exec/text.h"

namespace {

constexpr const char* kModule = "Exec\\Resource";
constexpr uint16_t kDuplicateRequest = kResDup0400 | kResDupKeep0004 | kResDupKeep0018;

ExecList* gScriptsList = nullptr;

bool HasExtension(const char* name) { return strchr(FileNamePart(name), '.') != nullptr; }

bool BuildPath(const ResourceHandler* handler, const char* name, uint16_t flags, char* path) {
  path[0] = '\0';
  if ((flags & kResFullPath) || IsAbsolutePath(name)) return AppendText(path, kPathMax, name);
  const char* folder = handler->folder ? handler->folder : "";
  bool fits = true;
  if (folder[0] && !IsAbsolutePath(folder)) fits = AppendText(path, kPathMax, SystemDirectory() ? SystemDirectory() : "");
  fits = fits && AppendText(path, kPathMax, folder);
  if (fits && folder[0]) fits = AppendSeparator(path, kPathMax);
  fits = fits && AppendText(path, kPathMax, name);
  if (fits && !HasExtension(name)) fits = AppendText(path, kPathMax, handler->extension ? handler->extension : "");
  return fits;
}

void Fail(int line, const char* format, const char* a, const char* b) {
  char message[kPathMax + 256];
  snprintf(message, sizeof message, format, a, b);
  EXEC_ASSERT_AT(kModule, line, message);
}

ResourceHeader* FindShared(ExecList* list, const char* baseName) {
  if (ExecNode* found = FindNameInList(&list->list, baseName)) return reinterpret_cast<ResourceHeader*>(found);
  for (ExecNode* node = FirstNode(&list->list); node; node = NextNode(node)) {
    ResourceHeader* header = reinterpret_cast<ResourceHeader*>(node);
    if (!(header->flags & kResContainer)) continue;
    ResourceContainer* container = reinterpret_cast<ResourceContainer*>(header);
    if (ExecNode* child = FindNameInList(&container->children, baseName)) {
      return reinterpret_cast<ResourceHeader*>(child);
    }
  }
  return nullptr;
}

uint16_t DuplicateFlags(uint16_t flags) {
  if (!(flags & kResDupKeep0004)) flags &= ~kResHandler0004;
  if (!(flags & kResDupKeep0018)) flags &= ~(kResHandler0008 | kResHandler0010);
  if (!(flags & kResDupKeepActivate)) flags &= ~kResActivate;
  return flags;
}

bool GiveOwnName(ResourceHeader* object, const char* text) {
  char* copy = CopyText(text);
  if (!copy) return false;
  const size_t length = strlen(copy) + 1;
  object->node.name = copy;
  object->ownedNameLength = static_cast<uint16_t>(length > 0xFFFF ? 0xFFFF : length);
  return true;
}

// Lists use the sentinel layout: walking forward ends on the header's tail word,
// which gives the header back without the list having to be passed around.
ExecListHeader* OwningHeader(ExecNode* node) {
  if (!node->next) return nullptr;
  ExecNode* walk = node;
  while (walk->next) walk = walk->next;
  return reinterpret_cast<ExecListHeader*>(reinterpret_cast<char*>(walk) - offsetof(ExecListHeader, tail));
}

ResourceHeader* Install(ExecList* list, const char* name, ResourceHeader* object, uint16_t flags) {
  ResourceHandler* handler = HandlerForType(list->elementType);
  if (!handler) return nullptr;
  AddTail(&list->list, &object->node);
  object->refCount = 1;
  object->flags = static_cast<uint16_t>(flags | (object->flags & kResContainer));
  object->node.type = list->elementType;
  if (!object->ownedNameLength && (flags & kResOwnName)) {
    char base[kPathMax];
    BaseName(name, base, sizeof base);
    // Without memory for the copy the object stays unnamed rather than keep
    // the caller's text, which need not outlive this call.
    if (!GiveOwnName(object, base)) object->node.name = nullptr;
  }
  if ((flags & kResActivate) && !(object->flags & kResActive)) {
    object->flags |= kResActive;
    if (!handler->dispatch(handler, kResOpActivate, object)) {
      Fail(123, "Resource %s : Could not install resource %s", handler->node.name, name);
      // Leaving it installed would hand out an object its handler refused.
      RemoveNode(&object->node);
      object->flags &= ~kResActive;
      char* ownedName = object->ownedNameLength ? const_cast<char*>(object->node.name) : nullptr;
      handler->dispatch(handler, kResOpDestroy, object);
      if (ownedName) FreeMem(ownedName);
      return nullptr;
    }
  }
  return object;
}

ResourceHeader* CreateNew(ResourceHandler* handler, const char* name, uint16_t flags) {
  char base[kPathMax];
  const char* used = name;
  if (!(flags & kResFullPath)) {
    BaseName(name, base, sizeof base);
    used = base;
  }
  ResourceCreateArgs args{nullptr, nullptr, used};
  ResourceHeader* object = static_cast<ResourceHeader*>(handler->dispatch(handler, kResOpAllocate, &args));
  if (object) {
    object->node.type = 0;
    object->node.name = name;
    // A derived base name lives in this frame; the object needs its own copy.
    if (used == base && !GiveOwnName(object, base)) object->node.name = nullptr;
    args = ResourceCreateArgs{object, nullptr, object->node.name ? object->node.name : used};
    if (!handler->dispatch(handler, kResOpInit, &args)) {
      char* ownedName = object->ownedNameLength ? const_cast<char*>(object->node.name) : nullptr;
      handler->dispatch(handler, kResOpDestroy, object);
      if (ownedName) FreeMem(ownedName);
      object = nullptr;
    }
  }
  if (!object) Fail(207, "Resource %s : Could not create resource %s", handler->node.name, name);
  return object;
}

}  // namespace

bool ResourceFilePath(ExecList* list, const char* name, uint16_t flags, char* out, size_t size) {
  if (!list || !name || !out || size == 0) return false;
  ResourceHandler* handler = HandlerForType(list->elementType);
  char path[kPathMax];
  if (!handler || strlen(name) >= kPathMax || !BuildPath(handler, name, flags, path)) return false;
  out[0] = '\0';
  return AppendText(out, size, path);
}

void* GenericOpen(ExecList* list, const char* name, uint16_t flags, int mode) {
  if (!list || !name) {
    LogPrintf(0, "GenericOpen: Null list or name\n");
    return nullptr;
  }
  // Every path, base name and owned name below is held in kPathMax bytes.
  if (strlen(name) >= kPathMax) {
    LogPrintf(0, "GenericOpen: Name too long\n");
    return nullptr;
  }
  ResourceHandler* handler = HandlerForType(list->elementType);
  if (!handler) {
    Fail(74, "Resource %s Error: Resource handler not installed for object %s", "GenericOpen", name);
    return nullptr;
  }
  char path[kPathMax];
  if (mode == kOpenExists || mode == kOpenFile) {
    if (!BuildPath(handler, name, flags, path)) {
      LogPrintf(0, "GenericOpen: Path too long for %s\n", name);
      return nullptr;
    }
  }
  if (mode == kOpenExists) {
    FILE* file = os::OpenFile(path, "rb");
    if (!file) return nullptr;
    fclose(file);
    return reinterpret_cast<void*>(1);
  }

  ResourceHeader* source = nullptr;
  bool duplicate = mode == kOpenDuplicate;
  if (flags & kResShared) {
    char base[kPathMax];
    BaseName(name, base, sizeof base);
    if (ResourceHeader* found = FindShared(list, base)) {
      if (!(flags & kDuplicateRequest)) {
        ++found->refCount;
        return found;
      }
      source = found;
      duplicate = true;
    }
  }

  ResourceHeader* object = nullptr;
  uint16_t installFlags = flags;
  if (duplicate) {
    installFlags = DuplicateFlags(flags);
    object = static_cast<ResourceHeader*>(handler->dispatch(handler, kResOpDuplicate, source));
    if (!object) {
      Fail(228, "Resource %s : Could not duplicate resource %s", handler->node.name, name);
      return nullptr;
    }
  } else if (mode == kOpenCreate) {
    object = CreateNew(handler, name, flags);
    if (!object) return nullptr;
  } else if (mode == kOpenFile) {
    // The free block count only feeds a progress line: walking the free list
    // twice per open is not worth it when that line would be filtered out.
    const bool progress = LogSwitch() != 0 && LogThreshold() >= 3;
    uint32_t freeBefore = progress ? CountFreeBlocks() : 0;
    LogPrintf(3, "Creating resource %s", path);
    object = static_cast<ResourceHeader*>(handler->dispatch(handler, kResOpOpenFile, path));
    if (!object) {
      if (!(flags & kResQuiet)) LogPrintf(1, "Resource %s : Could not open resource %s", handler->node.name, path);
      return nullptr;
    }
    uint32_t freeAfter = progress ? CountFreeBlocks() : 0;
    if (freeAfter > freeBefore + 1) {
      LogPrintf(3, "Free nodes Difference %d creating resource %s:%s total %d",
                static_cast<int>(freeAfter - freeBefore), handler->node.name, name, static_cast<int>(freeAfter));
    }
  } else {
    LogPrintf(0, "GenericOpen: Unknown mode %d for %s\n", mode, name);
    return nullptr;
  }

  ResourceHeader* installed = Install(list, name, object, installFlags);
  if (!installed) {
    Fail(__LINE__, "Resource %s Error: Resource handler not installed for object %s", "GenericOpen", name);
  }
  return installed;
}

int RemoveResource(void* resource) {
  char message[kPathMax + 128];
  if (!resource) {
    EXEC_ASSERT(kModule, "RemoveResource: Null pointer");
    return 0;
  }
  ResourceHeader* object = static_cast<ResourceHeader*>(resource);
  const char* name = object->node.name ? object->node.name : "";
  uint16_t type = object->node.type;
  if (type < kResourceTypeFirst || type > kResourceTypeLast) {
    snprintf(message, sizeof message, "RemoveResource: Unknown type %d, name %s", type, name);
    EXEC_ASSERT(kModule, message);
    return 0;
  }
  ResourceHandler* handler = HandlerForType(type);
  if (!handler) {
    Fail(__LINE__, "Resource %s Error: Resource handler not installed for object %s", "Remove", name);
    return 0;
  }
  if (object->refCount == 0) {
    snprintf(message, sizeof message, "RemoveResource: resource %s already freed, (Type : %s)", name,
             ResourceTypeName(type));
    EXEC_ASSERT(kModule, message);
    return 1;
  }
  if (--object->refCount > 0) return 1;

  if (object->flags & kResContainer) {
    ResourceContainer* container = reinterpret_cast<ResourceContainer*>(object);
    ExecNode* child = FirstNode(&container->children);
    while (child) {
      ExecNode* next = NextNode(child);
      RemoveResource(child);
      child = next;
    }
  }
  ExecListHeader* home = OwningHeader(&object->node);
  if (home) RemoveNode(&object->node);
  if (object->flags & kResActive) {
    object->flags &= ~kResActive;
    handler->dispatch(handler, kResOpDeactivate, object);
  }
  // Operation 3 may free the object's block: keep what is needed afterwards.
  char* ownedName = object->ownedNameLength ? const_cast<char*>(object->node.name) : nullptr;
  if (handler->dispatch(handler, kResOpDestroy, object)) {
    if (home) AddTail(home, &object->node);
    object->refCount = 1;
    snprintf(message, sizeof message, "RemoveResource: Resource %s could not be removed", name);
    EXEC_ASSERT_AT(kModule, 391, message);
    return 0;
  }
  if (ownedName) FreeMem(ownedName);
  return 1;
}

ExecList* ScriptsList() { return gScriptsList; }
void SetScriptsList(ExecList* list) { gScriptsList = list; }

void ReleaseScriptsList() {
  ExecList* list = gScriptsList;
  gScriptsList = nullptr;
  FreeResourceList(list);
}

bool StartResourceSystem(const char* baseDirectory) {
  ClearHandlerSlots();
  gScriptsList = nullptr;
  FreePathTexts();
  if (!CreateResourceHandlerList()) return false;
  if (!SetBaseDirectory(baseDirectory ? baseDirectory : "")) return false;
  return SetupDriveList();
}

void RemoveResourceSystem() {
  DestroyResourceHandlerList();
  // The Script handler releases "Scripts" when it is killed; one left behind
  // (no handler was ever registered) is still the runtime's to free.
  if (gScriptsList) ReleaseScriptsList();
  RemoveDriveList();
  FreePathTexts();
  ClearHandlerSlots();
}
