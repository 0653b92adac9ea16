// Engine lists. The header's head/tail/tailPred words double as the links of two
// pseudo-nodes: &header->head is a node whose next is head (and whose prev is the
// always-null tail), &header->tail is a node whose next is null and whose prev is
// tailPred. Insertion and removal therefore never test for the ends of the list.
#include "exec/list.h"

#include <cstring>

#include "exec/memory.h"
#include "exec/text.h"

namespace {

ExecNode* HeadNode(ExecListHeader* header) { return reinterpret_cast<ExecNode*>(&header->head); }
ExecNode* TailNode(ExecListHeader* header) { return reinterpret_cast<ExecNode*>(&header->tail); }

ExecList gAnchor;
bool gAnchorReady = false;

}  // namespace

void InitListHeader(ExecListHeader* header) {
  header->head = TailNode(header);
  header->tail = nullptr;
  header->tailPred = HeadNode(header);
}

bool IsListEmpty(const ExecListHeader* header) {
  return header->tailPred == reinterpret_cast<const ExecNode*>(&header->head);
}

ExecNode* FirstNode(const ExecListHeader* header) {
  ExecNode* node = header->head;
  return (node != nullptr && node->next != nullptr) ? node : nullptr;
}

ExecNode* NextNode(const ExecNode* node) {
  if (node == nullptr || node->next == nullptr) return nullptr;
  ExecNode* next = node->next;
  return next->next != nullptr ? next : nullptr;
}

void InitList(ExecList* list, const char* name, ElementRelease release, uint16_t elementType) {
  std::memset(list, 0, sizeof(*list));
  list->node.name = name != nullptr ? name : "List";
  list->node.type = kNodeList;
  InitListHeader(&list->list);
  list->release = release;
  list->elementType = elementType;
}

ExecList* CreateList(const char* name, ElementRelease release, uint16_t elementType) {
  auto* list = static_cast<ExecList*>(AllocMem(0, sizeof(ExecList)));
  if (list == nullptr) return nullptr;
  InitList(list, name, release, elementType);
  AddTail(&AnchorList()->list, &list->node);
  return list;
}

void AddHead(ExecListHeader* header, ExecNode* node) { InsertAfter(HeadNode(header), node); }

void AddTail(ExecListHeader* header, ExecNode* node) { InsertBefore(TailNode(header), node); }

void InsertBefore(ExecNode* before, ExecNode* node) {
  ExecNode* prev = before->prev;
  node->next = before;
  node->prev = prev;
  prev->next = node;
  before->prev = node;
}

void InsertAfter(ExecNode* after, ExecNode* node) {
  ExecNode* next = after->next;
  node->prev = after;
  node->next = next;
  next->prev = node;
  after->next = node;
}

void Enqueue(ExecListHeader* header, ExecNode* node) {
  for (ExecNode* at = FirstNode(header); at != nullptr; at = NextNode(at)) {
    if (at->priority < node->priority) {
      InsertBefore(at, node);
      return;
    }
  }
  AddTail(header, node);
}

void RemoveNode(ExecNode* node) {
  if (node == nullptr || node->next == nullptr || node->prev == nullptr) return;
  node->prev->next = node->next;
  node->next->prev = node->prev;
}

ExecNode* RemoveHead(ExecListHeader* header) {
  ExecNode* node = FirstNode(header);
  if (node != nullptr) RemoveNode(node);
  return node;
}

ExecNode* AllocNode(ExecListHeader* header, uint32_t size, const char* name, int16_t priority) {
  if (size < sizeof(ExecNode)) size = sizeof(ExecNode);
  auto* node = static_cast<ExecNode*>(AllocMem(0, size));
  if (node == nullptr) return nullptr;
  std::memset(node, 0, size);
  node->name = name;
  node->priority = priority;
  Enqueue(header, node);
  return node;
}

ExecNode* FindName(ExecNode* start, const char* name) {
  if (name == nullptr) return nullptr;
  for (ExecNode* node = start; node != nullptr && node->next != nullptr; node = node->next) {
    if (node->name != nullptr && SameTextIgnoringCase(node->name, name)) return node;
  }
  return nullptr;
}

ExecNode* FindNameInList(const ExecListHeader* header, const char* name) {
  return FindName(FirstNode(header), name);
}

uint32_t CountNodes(const ExecListHeader* header) {
  uint32_t count = 0;
  for (ExecNode* node = FirstNode(header); node != nullptr; node = NextNode(node)) ++count;
  return count;
}

ExecNode* GetNthNode(const ExecListHeader* header, uint32_t n) {
  ExecNode* node = FirstNode(header);
  while (node != nullptr && n-- > 0) node = NextNode(node);
  return node;
}

void FreeNode(ExecNode* node) {
  if (node == nullptr) return;
  RemoveNode(node);
  node->type = kNodeRemoved;
  FreeMem(node);
}

void EmptyList(ExecList* list, bool freeNodes) {
  while (ExecNode* head = FirstNode(&list->list)) {
    if (list->release != nullptr) list->release(head);
    // The release operation may have taken the node out and freed it; only a
    // node still at the head is ours to touch. Without this a release that
    // leaves the node in place would spin forever, and one that frees it
    // would be freed twice.
    if (FirstNode(&list->list) != head) continue;
    RemoveNode(head);
    if (freeNodes) {
      head->type = kNodeRemoved;
      FreeMem(head);
    }
  }
}

void InitAnchorList() {
  InitList(&gAnchor, "Anchor", nullptr, 1);
  gAnchorReady = true;
}

ExecList* AnchorList() {
  if (!gAnchorReady) InitAnchorList();
  return &gAnchor;
}
