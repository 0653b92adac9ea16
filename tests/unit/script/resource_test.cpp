#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "exec/file.h"
#include "exec/resource.h"
#include "exec_env.h"
#include "script/script.h"

namespace {

// A handler whose objects live in a static array, so tests can look at an
// object after the resource system has destroyed it.
struct FakeObject {
  ResourceHeader header;
  int id;
};

struct FakeState {
  std::vector<int> ops;
  std::vector<std::string> paths;
  ResourceHeader* source = nullptr;
  bool failOpen = false, failInit = false, failDestroy = false, failActivate = false;
  ExecList* list = nullptr;
  FakeObject objects[64];
  int used = 0;
};
FakeState* gFake = nullptr;

FakeObject* NewFake() {
  FakeObject* object = &gFake->objects[gFake->used++];
  memset(object, 0, sizeof *object);
  object->id = gFake->used;
  object->header.node.name = "fake";
  return object;
}

void* FakeDispatch(ResourceHandler*, int op, void* arg) {
  gFake->ops.push_back(op);
  switch (op) {
    case kResOpAllocate: {
      FakeObject* object = NewFake();
      object->header.node.name = nullptr;
      return object;
    }
    case kResOpRemoved:
      FreeResourceList(gFake->list);
      gFake->list = nullptr;
      return nullptr;
    case kResOpInit:
      return gFake->failInit ? nullptr : static_cast<ResourceCreateArgs*>(arg)->object;
    case kResOpDestroy:
      return gFake->failDestroy ? arg : nullptr;
    case kResOpActivate:
      return gFake->failActivate ? nullptr : arg;
    case kResOpDeactivate:
      return arg;
    case kResOpOpenFile:
      gFake->paths.push_back(static_cast<const char*>(arg));
      return gFake->failOpen ? nullptr : NewFake();
    case kResOpDuplicate:
      gFake->source = static_cast<ResourceHeader*>(arg);
      return NewFake();
  }
  return nullptr;
}

// Objects left at shutdown are only unlinked (their storage is the test's).
void ReleaseFake(ExecNode* node) {
  ResourceHeader* header = reinterpret_cast<ResourceHeader*>(node);
  RemoveNode(node);
  if (header->ownedNameLength) FreeMem(const_cast<char*>(node->name));
  node->name = nullptr;
}

class ResourceTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    gFake = new FakeState;
  }
  void TearDown() override {
    ExecEnv::TearDown();
    delete gFake;
    gFake = nullptr;
  }
  ExecList* StartWithFake(int logLevel = 3, const char* folder = "Fonts") {
    if (!Start(logLevel)) return nullptr;
    ResourceHandlerInfo info{0x100, 1, 0x464F4E54, 0, FakeDispatch, nullptr, "Fonts", folder, ".fnt", 0};
    if (!NewResourceHandler(&info)) return nullptr;
    gFake->list = CreateResourceList("Fonts", 0x100, ReleaseFake);
    return gFake->list;
  }
  std::string System() const { return dir_ + "/System\\"; }
};

TEST_F(ResourceTest, ConfigResolvesToTheWorkingFolder) {
  ASSERT_TRUE(Start(3));
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  ExecList* scripts = ScriptsList();
  ASSERT_NE(scripts, nullptr);
  EXPECT_STREQ(scripts->node.name, "Scripts");
  EXPECT_EQ(scripts->elementType, kResourceScript);

  EXPECT_EQ(GenericOpen(scripts, "config", 0, kOpenExists), nullptr);
  WriteFile(dir_ + "/config.ini", "[Config]\r\nFLAGS=3\r\n");
  EXPECT_NE(GenericOpen(scripts, "config", 0, kOpenExists), nullptr);

  ScriptDocument* doc = static_cast<ScriptDocument*>(GenericOpen(scripts, "config", kResOwnName, kOpenFile));
  ASSERT_NE(doc, nullptr);
  EXPECT_STREQ(doc->fileName, "config.ini");
  EXPECT_STREQ(doc->header.node.name, "config");
  EXPECT_EQ(doc->header.ownedNameLength, 7u);
  EXPECT_EQ(doc->header.refCount, 1u);
  EXPECT_EQ(doc->header.node.type, kResourceScript);
  EXPECT_EQ(RemoveResource(doc), 1);
  EXPECT_EQ(CountNodes(&scripts->list), 0u);
  EXPECT_NE(LogText().find("Creating resource config.ini\n"), std::string::npos);
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(ResourceTest, SharedOpensCountReferences) {
  ASSERT_TRUE(Start(3));
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  WriteFile(dir_ + "/config.ini", "[Config]\r\n");
  ExecList* scripts = ScriptsList();
  void* first = GenericOpen(scripts, "config", kResShared | kResOwnName, kOpenFile);
  void* second = GenericOpen(scripts, "CONFIG.ini", kResShared | kResOwnName, kOpenFile);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(second, first);
  EXPECT_EQ(static_cast<ResourceHeader*>(first)->refCount, 2u);
  EXPECT_EQ(CountNodes(&scripts->list), 1u);
  EXPECT_EQ(RemoveResource(first), 1);
  EXPECT_EQ(CountNodes(&scripts->list), 1u);
  EXPECT_EQ(static_cast<ResourceHeader*>(first)->refCount, 1u);
  EXPECT_EQ(RemoveResource(first), 1);
  EXPECT_EQ(CountNodes(&scripts->list), 0u);
}

TEST_F(ResourceTest, PathsFromNameFolderAndExtension) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  gFake->failOpen = true;
  struct Case {
    const char* name;
    uint16_t flags;
    std::string want;
  } cases[] = {
      {"arial", 0, System() + "Fonts\\arial.fnt"},
      {"sub.v2\\arial", 0, System() + "Fonts\\sub.v2\\arial.fnt"},  // the dot is a folder's
      {"arial.ttf", 0, System() + "Fonts\\arial.ttf"},
      {"C:\\Fonts\\arial", 0, "C:\\Fonts\\arial"},
      {"\\\\server\\share\\arial", 0, "\\\\server\\share\\arial"},
      {"relative\\arial", kResFullPath, "relative\\arial"},
  };
  for (const Case& c : cases) {
    gFake->paths.clear();
    EXPECT_EQ(GenericOpen(fonts, c.name, c.flags | kResQuiet, kOpenFile), nullptr);
    ASSERT_EQ(gFake->paths.size(), 1u) << c.name;
    EXPECT_EQ(gFake->paths[0], c.want) << c.name;
  }
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(ResourceTest, AbsoluteHandlerFolderIsUsedAsIs) {
  ExecList* fonts = StartWithFake(3, "D:\\fonts");
  ASSERT_NE(fonts, nullptr);
  gFake->failOpen = true;
  GenericOpen(fonts, "arial", kResQuiet, kOpenFile);
  ASSERT_EQ(gFake->paths.size(), 1u);
  EXPECT_EQ(gFake->paths[0], "D:\\fonts\\arial.fnt");
}

TEST_F(ResourceTest, OpenFailureWarnsUnlessQuiet) {
  ExecList* fonts = StartWithFake(1);
  ASSERT_NE(fonts, nullptr);
  gFake->failOpen = true;
  EXPECT_EQ(GenericOpen(fonts, "gone", kResQuiet, kOpenFile), nullptr);
  EXPECT_EQ(LogText().find("Could not open resource"), std::string::npos);
  EXPECT_EQ(GenericOpen(fonts, "gone", 0, kOpenFile), nullptr);
  EXPECT_NE(LogText().find("Resource Fonts : Could not open resource " + System() + "Fonts\\gone.fnt\n"),
            std::string::npos);
  EXPECT_EQ(LogText().find("Creating resource"), std::string::npos);  // level 3
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(ResourceTest, ReleaseCountsDownAndReports) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  FakeObject* object = static_cast<FakeObject*>(GenericOpen(fonts, "arial", 0, kOpenFile));
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->header.node.type, 0x100);

  gFake->failDestroy = true;
  EXPECT_EQ(RemoveResource(object), 0);
  EXPECT_TRUE(SawAssert("RemoveResource: Resource fake could not be removed", 391));
  EXPECT_EQ(object->header.refCount, 1u);
  EXPECT_EQ(CountNodes(&fonts->list), 1u);

  gFake->failDestroy = false;
  EXPECT_EQ(RemoveResource(object), 1);
  EXPECT_EQ(CountNodes(&fonts->list), 0u);
  EXPECT_EQ(RemoveResource(object), 1);
  EXPECT_TRUE(SawAssert("RemoveResource: resource fake already freed, (Type : Font)"));

  EXPECT_EQ(RemoveResource(nullptr), 0);
  EXPECT_TRUE(SawAssert("RemoveResource: Null pointer"));
  FakeObject stray{};
  stray.header.node.name = "stray";
  stray.header.node.type = 0x50;
  stray.header.refCount = 1;
  EXPECT_EQ(RemoveResource(&stray), 0);
  EXPECT_TRUE(SawAssert("RemoveResource: Unknown type 80, name stray"));
  stray.header.node.type = 0x102;
  EXPECT_EQ(RemoveResource(&stray), 0);
  EXPECT_TRUE(SawAssert("Resource Remove Error: Resource handler not installed for object stray"));
}

TEST_F(ResourceTest, CreateModeNamesTheObjectByItsBaseName) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  ResourceHeader* object = static_cast<ResourceHeader*>(GenericOpen(fonts, "new\\custom.fnt", 0, kOpenCreate));
  ASSERT_NE(object, nullptr);
  EXPECT_STREQ(object->node.name, "custom");
  EXPECT_EQ(gFake->ops, (std::vector<int>{kResOpAllocate, kResOpInit}));
  EXPECT_EQ(RemoveResource(object), 1);

  gFake->ops.clear();
  gFake->failInit = true;
  EXPECT_EQ(GenericOpen(fonts, "broken", 0, kOpenCreate), nullptr);
  EXPECT_TRUE(SawAssert("Resource Fonts : Could not create resource broken", 207));
  // The half-made object is destroyed, not left behind.
  EXPECT_EQ(gFake->ops, (std::vector<int>{kResOpAllocate, kResOpInit, kResOpDestroy}));
  EXPECT_EQ(CountNodes(&fonts->list), 0u);
}

TEST_F(ResourceTest, DuplicatesKeepFlagsOnlyWhenAsked) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  ResourceHeader* original = static_cast<ResourceHeader*>(GenericOpen(fonts, "arial", kResShared | kResOwnName, kOpenFile));
  ASSERT_NE(original, nullptr);
  const uint16_t handlerBits = kResHandler0004 | kResHandler0008 | kResHandler0010;
  struct Case {
    uint16_t request;
    uint16_t keptBits;
  } cases[] = {
      {kResDup0400, 0},
      {kResDupKeep0004, kResHandler0004},
      {kResDupKeep0018, kResHandler0008 | kResHandler0010},
      {kResDupKeep0004 | kResDupKeep0018, handlerBits},
  };
  for (const Case& c : cases) {
    gFake->source = nullptr;
    ResourceHeader* copy = static_cast<ResourceHeader*>(
        GenericOpen(fonts, "arial", kResShared | handlerBits | c.request, kOpenFile));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_EQ(gFake->source, original);
    EXPECT_EQ(copy->flags & handlerBits, c.keptBits) << std::hex << c.request;
    EXPECT_EQ(RemoveResource(copy), 1);
  }
  EXPECT_EQ(original->refCount, 1u);

  // Activation survives a duplicate only with 0x2000.
  gFake->ops.clear();
  ResourceHeader* plain = static_cast<ResourceHeader*>(
      GenericOpen(fonts, "arial", kResShared | kResDup0400 | kResActivate, kOpenFile));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->flags & (kResActivate | kResActive), 0);
  ResourceHeader* active = static_cast<ResourceHeader*>(
      GenericOpen(fonts, "arial", kResShared | kResDup0400 | kResActivate | kResDupKeepActivate, kOpenFile));
  ASSERT_NE(active, nullptr);
  EXPECT_TRUE(active->flags & kResActive);
  EXPECT_EQ(gFake->ops, (std::vector<int>{kResOpDuplicate, kResOpDuplicate, kResOpActivate}));

  // Mode 14 duplicates without looking for a source.
  gFake->source = original;
  EXPECT_NE(GenericOpen(fonts, "arial", 0, kOpenDuplicate), nullptr);
  EXPECT_EQ(gFake->source, nullptr);
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(ResourceTest, ActivationAndItsFailure) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  ResourceHeader* object = static_cast<ResourceHeader*>(GenericOpen(fonts, "arial", kResActivate, kOpenFile));
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(object->flags & kResActive);
  gFake->ops.clear();
  EXPECT_EQ(RemoveResource(object), 1);
  EXPECT_EQ(gFake->ops, (std::vector<int>{kResOpDeactivate, kResOpDestroy}));

  gFake->failActivate = true;
  EXPECT_EQ(GenericOpen(fonts, "bad", kResActivate | kResOwnName, kOpenFile), nullptr);
  EXPECT_TRUE(SawAssert("Resource Fonts : Could not install resource bad", 123));
  EXPECT_TRUE(SawAssert("Resource GenericOpen Error: Resource handler not installed for object bad"));
  EXPECT_EQ(CountNodes(&fonts->list), 0u);
}

TEST_F(ResourceTest, HandlerRegistrationRules) {
  ASSERT_TRUE(Start(3));
  ResourceHandler* script = HandlerForType(kResourceScript);
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(script->useCount, 1);
  EXPECT_STREQ(script->extension, ".ini");
  EXPECT_STREQ(ResourceTypeName(kResourceScript), "Script");
  EXPECT_STREQ(ResourceTypeName(0x120), "Snd_group");
  EXPECT_EQ(ResourceTypeName(0x121), nullptr);

  ResourceHandlerInfo again{kResourceScript, 2, 0x5B53435D, 0, ScriptDispatch, nullptr, "Scripts", "", ".ini", 0};
  EXPECT_EQ(NewResourceHandler(&again), script);
  EXPECT_EQ(script->useCount, 2);

  ResourceHandlerInfo other = again;
  other.name = "Other";
  EXPECT_EQ(NewResourceHandler(&other), nullptr);
  EXPECT_TRUE(SawAssert("NewResourceHandler: Fatal error, resource type already used, handler Other,type 277", 27));
  EXPECT_EQ(Asserts().back().file, "Exec\\ResourceHandlers");

  ResourceHandlerInfo moved = again;
  moved.type = 0x100;
  EXPECT_EQ(NewResourceHandler(&moved), nullptr);
  EXPECT_TRUE(SawAssert("NewResourceHandler: Handler type conflict handler Scripts,type 256", 49));
  EXPECT_EQ(HandlerForType(0x100), nullptr);
}

TEST_F(ResourceTest, ListWithoutHandler) {
  ASSERT_TRUE(Start(3));
  ExecList* bitmaps = CreateList("Bitmaps", nullptr, 0x103);
  ASSERT_NE(bitmaps, nullptr);
  EXPECT_EQ(GenericOpen(bitmaps, "logo", 0, kOpenFile), nullptr);
  EXPECT_TRUE(SawAssert("Resource GenericOpen Error: Resource handler not installed for object logo", 74));
  EXPECT_EQ(CreateResourceList("Bitmaps", 0x103, nullptr), nullptr);
  RemoveNode(&bitmaps->node);
  FreeMem(bitmaps);
}

TEST_F(ResourceTest, ListTableGrowsPastSixteen) {
  ExecList* fonts = StartWithFake();
  ASSERT_NE(fonts, nullptr);
  ResourceHandler* handler = HandlerForType(0x100);
  std::vector<ExecList*> lists;
  for (int i = 0; i < 20; ++i) {
    ExecList* list = CreateResourceList("more", 0x100, ReleaseFake);
    ASSERT_NE(list, nullptr);
    lists.push_back(list);
  }
  EXPECT_GE(handler->lists.capacity, 22u);
  for (ExecList* list : lists) FreeResourceList(list);
  // A freed slot is used again.
  ExecList* again = CreateResourceList("again", 0x100, ReleaseFake);
  EXPECT_EQ(*static_cast<ExecList**>(TableEntry(&handler->lists, 1)), again);
  FreeResourceList(again);
}

TEST_F(ResourceTest, ShutdownReportsWhatIsStillOpen) {
  ASSERT_TRUE(Start(3));
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  WriteFile(dir_ + "/config.ini", "[Config]\r\n");
  ASSERT_NE(GenericOpen(ScriptsList(), "config", kResOwnName, kOpenFile), nullptr);
  ExecRemove();
  std::string log = LogText();
  EXPECT_NE(log.find("Removing: Resource systems\n\n"
                     "KillResourceHandler 'Scripts' Reports 1 element(s) in list Scripts\n"
                     "Named : config\n"),
            std::string::npos)
      << log;
  // Killing the handler released the document with its list.
  EXPECT_NE(log.find("No memory leaks, no problem"), std::string::npos) << log;
  EXPECT_EQ(ScriptsList(), nullptr);
  EXPECT_EQ(HandlerForType(kResourceScript), nullptr);
}

}  // namespace
