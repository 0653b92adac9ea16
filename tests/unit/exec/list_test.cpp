// Engine lists: the sentinel header, priority order, name search and emptying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec/list.h"
#include "exec/memory.h"
#include "memory_fixture.h"

namespace {

ExecNode MakeNode(const char* name, int16_t priority) {
  ExecNode node{};
  node.name = name;
  node.priority = priority;
  return node;
}

std::vector<std::string> Names(const ExecListHeader* header) {
  std::vector<std::string> names;
  for (ExecNode* node = FirstNode(header); node != nullptr; node = NextNode(node)) {
    names.push_back(node->name != nullptr ? node->name : "(none)");
  }
  return names;
}

TEST(List, EmptyHeaderPointsAtItself) {
  ExecListHeader header;
  InitListHeader(&header);
  EXPECT_EQ(header.head, reinterpret_cast<ExecNode*>(&header.tail));
  EXPECT_EQ(header.tail, nullptr);
  EXPECT_EQ(header.tailPred, reinterpret_cast<ExecNode*>(&header.head));
  EXPECT_TRUE(IsListEmpty(&header));
  EXPECT_EQ(FirstNode(&header), nullptr);
  EXPECT_EQ(CountNodes(&header), 0u);

  const ExecListHeader before = header;
  EXPECT_EQ(RemoveHead(&header), nullptr);
  EXPECT_EQ(header.head, before.head);
  EXPECT_EQ(header.tailPred, before.tailPred);
}

TEST(List, LinkingOperationsKeepOrderAndNoNullLinks) {
  ExecListHeader header;
  InitListHeader(&header);
  ExecNode b = MakeNode("b", 0), d = MakeNode("d", 0), a = MakeNode("a", 0), c = MakeNode("c", 0),
           e = MakeNode("e", 0);
  AddTail(&header, &b);
  AddTail(&header, &d);
  AddHead(&header, &a);
  InsertBefore(&d, &c);
  InsertAfter(&d, &e);
  EXPECT_EQ(Names(&header), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  for (ExecNode* n = FirstNode(&header); n != nullptr; n = NextNode(n)) {
    EXPECT_NE(n->next, nullptr);
    EXPECT_NE(n->prev, nullptr);
  }
  EXPECT_EQ(GetNthNode(&header, 2), &c);
  EXPECT_EQ(GetNthNode(&header, 5), nullptr);
  RemoveNode(&c);
  EXPECT_EQ(NextNode(&c), &d);  // a walk may step on from a node it took out
  EXPECT_EQ(RemoveHead(&header), &a);
  RemoveNode(&e);
  EXPECT_EQ(Names(&header), (std::vector<std::string>{"b", "d"}));
  EXPECT_EQ(header.tailPred, &d);
  RemoveNode(&b);
  RemoveNode(&d);
  EXPECT_TRUE(IsListEmpty(&header));
}

TEST(List, EnqueueByPriorityFirstInFirstOutAmongEquals) {
  ExecListHeader header;
  InitListHeader(&header);
  ExecNode nodes[] = {MakeNode("0a", 0), MakeNode("5a", 5), MakeNode("0b", 0), MakeNode("5b", 5),
                      MakeNode("-5", -5), MakeNode("9", 9)};
  for (ExecNode& node : nodes) Enqueue(&header, &node);
  EXPECT_EQ(Names(&header), (std::vector<std::string>{"9", "5a", "5b", "0a", "0b", "-5"}));
}

TEST(List, FindNameIgnoresAsciiCaseAndSkipsUnnamed) {
  ExecListHeader header;
  InitListHeader(&header);
  ExecNode unnamed = MakeNode(nullptr, 0), scripts = MakeNode("Scripts", 0),
           empty = MakeNode("", 0), other = MakeNode("SCRIPTS", 0), accent = MakeNode("\xC9t\xC9", 0);
  for (ExecNode* n : {&unnamed, &scripts, &empty, &other, &accent}) AddTail(&header, n);
  const struct {
    const char* search;
    ExecNode* found;
  } cases[] = {{"scripts", &scripts}, {"SCRIPTS", &scripts}, {"sCrIpTs", &scripts},
               {"", &empty},          {nullptr, nullptr},    {"script", nullptr},
               {"\xE9t\xE9", nullptr}, {"\xC9T\xC9", &accent}};
  for (const auto& c : cases) {
    EXPECT_EQ(FindNameInList(&header, c.search), c.found) << (c.search ? c.search : "(null)");
  }
  EXPECT_EQ(FindName(NextNode(&scripts), "scripts"), &other);  // from a given node on
  EXPECT_EQ(FindName(nullptr, "scripts"), nullptr);
}

class ListWithPool : public memtest::PoolTest {};

int gReleased = 0;
void CountRelease(ExecNode*) { ++gReleased; }
void TakeOutAndFree(ExecNode* node) {
  ++gReleased;
  FreeNode(node);
}

TEST_F(ListWithPool, CreateAllocAndEmpty) {
  Start(kMemStrictRelease);
  const uint64_t free = AvailPoolMem();
  ExecList* list = CreateList(nullptr, CountRelease, 0x115);
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->node.name, "List");
  EXPECT_EQ(list->node.type, kNodeList);
  EXPECT_EQ(AnchorList()->list.tailPred, &list->node);

  ExecNode* low = AllocNode(&list->list, 64, "low", 1);
  ExecNode* high = AllocNode(&list->list, 64, "high", 7);
  ASSERT_NE(low, nullptr);
  EXPECT_EQ(FirstNode(&list->list), high);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(low)[63], 0);  // zeroed

  gReleased = 0;
  EmptyList(list, true);
  EXPECT_EQ(gReleased, 2);
  EXPECT_TRUE(IsListEmpty(&list->list));

  // A release operation that frees the node itself: nothing is freed twice.
  list->release = TakeOutAndFree;
  AllocNode(&list->list, 40, "a", 0);
  AllocNode(&list->list, 40, "b", 0);
  EmptyList(list, true);
  EXPECT_EQ(gReleased, 4);

  // Neither freeing nor a release operation: the loop still ends.
  ExecNode loose = MakeNode("loose", 0);
  list->release = nullptr;
  AddTail(&list->list, &loose);
  EmptyList(list, false);
  EXPECT_TRUE(IsListEmpty(&list->list));

  RemoveNode(&list->node);
  FreeMem(list);
  EXPECT_EQ(AvailPoolMem(), free);
  EXPECT_EQ(AssertCount(), 0u) << LastAssert();
}

}  // namespace
