#pragma once
// Engine lists: intrusive doubly linked lists of named, typed, prioritised nodes
// with a sentinel header (head, tail = null, tailPred). An empty header's head
// points at its own tail word and tailPred at its own head word, so nodes in a
// list never hold null links and a walk ends at the node whose next is null.
#include <cstdint>

struct ExecNode {
  ExecNode* next;
  ExecNode* prev;
  const char* name;
  uint16_t type;  // 5 task, 6 memory pool, 7 semaphore, 9 list, 0x100.. resource; 0xFFFF once taken out for good
  int16_t priority;
};

struct ExecListHeader {
  ExecNode* head;
  ExecNode* tail;  // always null
  ExecNode* tailPred;
};

using ElementRelease = void (*)(ExecNode* element);

struct ExecList {
  ExecNode node;  // type 9, name "List" until the owner names it
  ExecListHeader list;
  ElementRelease release;  // may be null
  uint32_t reserved0;
  uint16_t reserved1;
  uint16_t elementType;
};

constexpr uint16_t kNodeTask = 5;
constexpr uint16_t kNodeMemPool = 6;
constexpr uint16_t kNodeSemaphore = 7;
constexpr uint16_t kNodeList = 9;
constexpr uint16_t kNodeRemoved = 0xFFFF;

void InitListHeader(ExecListHeader* header);
bool IsListEmpty(const ExecListHeader* header);
// First real node or null; next real node or null (hides the sentinel).
ExecNode* FirstNode(const ExecListHeader* header);
ExecNode* NextNode(const ExecNode* node);

void InitList(ExecList* list, const char* name, ElementRelease release, uint16_t elementType);
// Allocates (AllocMem) and initialises a list object and adds it at the tail of "Anchor".
ExecList* CreateList(const char* name, ElementRelease release, uint16_t elementType);

void AddHead(ExecListHeader* header, ExecNode* node);
void AddTail(ExecListHeader* header, ExecNode* node);
void InsertBefore(ExecNode* before, ExecNode* node);
void InsertAfter(ExecNode* after, ExecNode* node);
// Before the first node of lower priority; equal priorities stay first in, first out.
void Enqueue(ExecListHeader* header, ExecNode* node);
// The node keeps its links, so a walk may step on from a node it just took out.
// A node with null links (never entered) is left alone.
void RemoveNode(ExecNode* node);
ExecNode* RemoveHead(ExecListHeader* header);  // null when empty, header untouched
// Zeroed node of `size` bytes from AllocMem with name and priority, enqueued by priority.
ExecNode* AllocNode(ExecListHeader* header, uint32_t size, const char* name, int16_t priority);
// From `start` (a real node) onwards, ASCII case-insensitive; unnamed nodes skipped.
ExecNode* FindName(ExecNode* start, const char* name);
ExecNode* FindNameInList(const ExecListHeader* header, const char* name);
uint32_t CountNodes(const ExecListHeader* header);
ExecNode* GetNthNode(const ExecListHeader* header, uint32_t n);  // n counts from 0; null past the end
// Remove, mark 0xFFFF and FreeMem it.
void FreeNode(ExecNode* node);
// Release operation on each head; with freeNodes also remove, mark and FreeMem it.
// A release operation may take the node out (and free it) itself; a head that is
// still in place afterwards is taken out here, so the loop always ends.
void EmptyList(ExecList* list, bool freeNodes);

// The list of all lists ("Anchor", element type 1). It sets itself up on first
// use; InitExec calls InitAnchorList to start every run with an empty one.
ExecList* AnchorList();
void InitAnchorList();
