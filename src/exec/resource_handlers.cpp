#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "exec/memory.h"
#include "exec/resource_internal.h"
#include "exec/text.h"

namespace {

const char* const kTypeNames[kResourceTypeCount] = {
    "Font",      "Texture",      "Texture_Bank",  "Bitmap",         "Palette",          "Tool_Setup",
    "Model",     "Vertex_Table", "ViewContext",   "Material",       "Light",            "Scene",
    "unused_0",  "unused_1",     "unused_2",      "unused_3",       "unused_4",         "unused_5",
    "unused_6",  "unused_7",     "Finder_object", "Script",         "Session",          "Block",
    "Replay",    "Skin",         "Vertex_program", "Fragment_program", "Snd",           "Snd_bank",
    "Snd_listener", "Snd_acoustic", "Snd_group"};

ResourceHandler* gSlots[kResourceTypeCount];
ExecList* gHandlers = nullptr;

constexpr uint32_t kListTableStart = 16;
constexpr uint32_t kListTableStep = 16;

struct FormatEntry {
  ExecNode node;
  char* text;
};

void ReleaseFormat(ExecNode* element) {
  FormatEntry* entry = reinterpret_cast<FormatEntry*>(element);
  if (entry->text) FreeMem(entry->text);
  entry->text = nullptr;
}

void* DoNothing(ResourceHandler*, int, void*) { return nullptr; }

void KillHandlerElement(ExecNode* element) {
  KillResourceHandler(reinterpret_cast<ResourceHandler*>(element));
}

bool SlotIndex(uint16_t type, uint32_t* index) {
  if (type < kResourceTypeFirst || type > kResourceTypeLast) return false;
  *index = type - kResourceTypeFirst;
  return true;
}

ExecList** ListSlots(ResourceHandler* handler) {
  return reinterpret_cast<ExecList**>(handler->lists.data);
}

void FreeHandlerRecord(ResourceHandler* handler) {
  if (handler->folder) FreeMem(handler->folder);
  if (handler->extension) FreeMem(handler->extension);
  handler->folder = handler->extension = nullptr;
  if (handler->lists.data) FreeTable(&handler->lists);
  EmptyList(&handler->formats, true);
  if (handler->node.name) FreeMem(const_cast<char*>(handler->node.name));
  handler->node.name = nullptr;
  handler->node.type = kNodeRemoved;
  FreeMem(handler);
}

}  // namespace

const char* ResourceTypeName(uint16_t type) {
  uint32_t index;
  return SlotIndex(type, &index) ? kTypeNames[index] : nullptr;
}

ResourceHandler* HandlerForType(uint16_t type) {
  uint32_t index;
  return SlotIndex(type, &index) ? gSlots[index] : nullptr;
}

void ClearHandlerSlots() { memset(gSlots, 0, sizeof gSlots); }

bool CreateResourceHandlerList() {
  if (!gHandlers) gHandlers = CreateList("Resource Handlers", KillHandlerElement, 0);
  return gHandlers != nullptr;
}

void DestroyResourceHandlerList() {
  if (!gHandlers) return;
  // Each release takes its handler out of the list itself.
  while (ExecNode* first = FirstNode(&gHandlers->list)) gHandlers->release(first);
  RemoveNode(&gHandlers->node);
  FreeMem(gHandlers);
  gHandlers = nullptr;
}

ResourceHandler* NewResourceHandler(const ResourceHandlerInfo* info) {
  if (!info || !info->name || !info->dispatch || !gHandlers) {
    LogPrintf(0, "NewResourceHandler: Bad registration\n");
    return nullptr;
  }
  char message[512];
  uint32_t slot = 0;
  ResourceHandler* same = reinterpret_cast<ResourceHandler*>(FindNameInList(&gHandlers->list, info->name));
  if (same) {
    if (SlotIndex(info->type, &slot) && gSlots[slot] == same) {
      ++same->useCount;
      return same;
    }
    snprintf(message, sizeof message, "NewResourceHandler: Handler type conflict handler %s,type %d",
             info->name, info->type);
    EXEC_ASSERT_AT("Exec\\ResourceHandlers", 49, message);
    return nullptr;
  }
  if (!SlotIndex(info->type, &slot) || gSlots[slot]) {
    snprintf(message, sizeof message,
             "NewResourceHandler: Fatal error, resource type already used, handler %s,type %d", info->name,
             info->type);
    EXEC_ASSERT_AT("Exec\\ResourceHandlers", 27, message);
    return nullptr;
  }

  size_t recordSize = info->recordSize > sizeof(ResourceHandler) ? info->recordSize : sizeof(ResourceHandler);
  ResourceHandler* handler = static_cast<ResourceHandler*>(AllocMem(kMainPoolId, recordSize));
  if (!handler) return nullptr;
  ClearMem(handler, recordSize);
  InitList(&handler->formats, "formats", ReleaseFormat, 0);
  InitTable(&handler->lists, sizeof(ExecList*));
  handler->node.name = CopyText(info->name);
  handler->folder = CopyText(info->folder);
  handler->extension = CopyText(info->extension);
  void* lists = AddTable(&handler->lists, sizeof(ExecList*), kListTableStart);
  if (!handler->node.name || !handler->folder || !handler->extension || !lists) {
    LogPrintf(0, "NewResourceHandler: Could not allocate handler %s\n", info->name);
    FreeHandlerRecord(handler);
    return nullptr;
  }
  ClearMem(lists, handler->lists.byteSize);
  handler->node.type = info->type;
  handler->node.priority = info->priority;
  handler->dispatch = info->dispatch;
  handler->aux = info->aux ? info->aux : DoNothing;
  handler->version = info->version;
  handler->magic = info->magic;
  handler->useCount = 1;
  Enqueue(&gHandlers->list, &handler->node);
  gSlots[slot] = handler;
  return handler;
}

void KillResourceHandler(ResourceHandler* handler) {
  if (!handler) return;
  const char* name = handler->node.name ? handler->node.name : "";
  ExecList** lists = ListSlots(handler);
  for (uint32_t i = 0; lists && i < handler->lists.capacity; ++i) {
    ExecList* list = lists[i];
    if (!list) continue;
    uint32_t count = CountNodes(&list->list);
    if (count == 0) continue;
    LogPrintf(1, "KillResourceHandler '%s' Reports %d element(s) in list %s", name, static_cast<int>(count),
              list->node.name ? list->node.name : "");
    for (ExecNode* node = FirstNode(&list->list); node; node = NextNode(node)) {
      LogPrintf(1, "Named : %s", node->name ? node->name : "");
    }
  }
  if (handler->folder) FreeMem(handler->folder);
  handler->folder = nullptr;
  if (handler->lists.data) FreeTable(&handler->lists);
  EmptyList(&handler->formats, true);

  ResourceCreateArgs empty{nullptr, nullptr, nullptr};
  handler->dispatch(handler, kResOpRemoved, &empty);

  uint32_t slot;
  if (SlotIndex(handler->node.type, &slot) && gSlots[slot] == handler) gSlots[slot] = nullptr;
  if (handler->extension) FreeMem(handler->extension);
  handler->extension = nullptr;
  if (handler->node.name) FreeMem(const_cast<char*>(handler->node.name));
  handler->node.name = nullptr;
  RemoveNode(&handler->node);
  handler->node.type = kNodeRemoved;
  FreeMem(handler);
}

ExecList* CreateResourceList(const char* name, uint16_t type, ElementRelease release) {
  ResourceHandler* handler = HandlerForType(type);
  if (!handler) {
    LogPrintf(0, "CreateResourceList: no handler for type %d\n", type);
    return nullptr;
  }
  ExecList** slots = ListSlots(handler);
  uint32_t free = handler->lists.capacity;
  // The table's last slot is never used (the table grows before it would be).
  for (uint32_t i = 0; i + 1 < handler->lists.capacity; ++i) {
    if (!slots[i]) {
      free = i;
      break;
    }
  }
  if (free + 1 >= handler->lists.capacity) {
    // Every usable slot is taken, so count covers them all and the resize keeps them.
    handler->lists.count = handler->lists.capacity > 0 ? handler->lists.capacity - 1 : 0;
    if (!ResizeTable(&handler->lists, kListTableStep)) return nullptr;
    slots = ListSlots(handler);
    uint32_t used = handler->lists.count;
    ClearMem(slots + used, (handler->lists.capacity - used) * sizeof(ExecList*));
    free = used;
  }
  ExecList* list = CreateList(name, release, type);
  if (!list) return nullptr;
  slots[free] = list;
  if (free + 1 > handler->lists.count) handler->lists.count = free + 1;
  return list;
}

void FreeResourceList(ExecList* list) {
  if (!list) return;
  ResourceHandler* handler = HandlerForType(list->elementType);
  if (handler && handler->lists.data) {
    ExecList** slots = ListSlots(handler);
    for (uint32_t i = 0; i < handler->lists.capacity; ++i) {
      if (slots[i] == list) slots[i] = nullptr;
    }
  }
  while (ExecNode* first = FirstNode(&list->list)) {
    if (list->release) list->release(first);
    // A release that left the element linked would loop for ever; unlink it.
    if (FirstNode(&list->list) == first) RemoveNode(first);
  }
  RemoveNode(&list->node);
  FreeMem(list);
}
