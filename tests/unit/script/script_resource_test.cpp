#include "exec/resource.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

const ScriptKey kKeys[] = {{"FLAGS", 0, 1}, {nullptr, 0, 0}};

using ScriptResourceTest = ScriptTest;

TEST_F(ScriptResourceTest, OpenScriptReadsTheFileByName) {
  EXPECT_EQ(OpenScript("missing.ini"), nullptr);
  WriteFile(Path("config.ini"), "[Config]\r\nFLAGS=3\r\n");
  ScriptDocument* document = OpenScript("config.ini");
  ASSERT_NE(document, nullptr);
  EXPECT_STREQ(document->header.node.name, "config");
  EXPECT_STREQ(document->fileName, "config.ini");
  EXPECT_EQ(document->header.node.type, kResourceScript);
  EXPECT_EQ(ReadDocument(document, "Config", kKeys), (Lines{{0, {"3"}}}));
  ReleaseScript(document);

  // Without an extension the handler's ".ini" is added.
  document = OpenScript("config");
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(ReadDocument(document, "Config", kKeys), (Lines{{0, {"3"}}}));
  ReleaseScript(document);
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(ScriptResourceTest, SameBaseNameSharesTheLoadedText) {
  WriteFile(Path("shared.ini"), "[S]\r\nFLAGS=1\r\n");
  ScriptDocument* first = OpenScript("shared.ini");
  ASSERT_NE(first, nullptr);
  WriteFile(Path("shared.ini"), "[S]\r\nFLAGS=2\r\n");
  ScriptDocument* second = OpenScript("shared.ini");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->textStart, first->textStart);
  EXPECT_EQ(ReadDocument(second, "S", kKeys), (Lines{{0, {"1"}}}));

  // Writing through one replaces only that document's text.
  ASSERT_TRUE(BeginSection(first, "S"));
  AddNumber(AddKey(first, kKeys, 0), 5);
  ASSERT_TRUE(WriteSection(first));
  EXPECT_EQ(ReadDocument(first, "S", kKeys), (Lines{{0, {"5"}}}));
  EXPECT_EQ(ReadDocument(second, "S", kKeys), (Lines{{0, {"1"}}}));
  ReleaseScript(first);
  EXPECT_EQ(ReadDocument(second, "S", kKeys), (Lines{{0, {"1"}}}));
  ReleaseScript(second);
}

TEST_F(ScriptResourceTest, FromMemoryCreatesNoFile) {
  const char text[] = "[SERVER]\r\nFLAGS=0x10\r\n";
  ScriptDocument* document = OpenScriptFromMemory("ts_servers.ini", text, sizeof text - 1);
  ASSERT_NE(document, nullptr);
  EXPECT_STREQ(document->header.node.name, "ts_servers");
  EXPECT_EQ(ReadDocument(document, "SERVER", kKeys), (Lines{{0, {"0x10"}}}));
  EXPECT_FALSE(Exists(Path("ts_servers.ini")));
  ReleaseScript(document);

  EXPECT_EQ(OpenScriptFromMemory("absent.ini", nullptr, 0), nullptr) << "no bytes: as OpenScript";
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(ScriptResourceTest, ForWritingCreatesTheFileOnlyWhenWritten) {
  ScriptDocument* document = OpenScriptForWriting("new.ini");
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(Exists(Path("new.ini")));
  ASSERT_TRUE(BeginSection(document, "S"));
  AddNumber(AddKey(document, kKeys, 0), 1);
  ASSERT_TRUE(WriteSection(document));
  ReleaseScript(document);
  EXPECT_EQ(ReadFile(Path("new.ini")), "[S]\r\nFLAGS=1\r\n\r\n");

  document = OpenScriptForWriting("new.ini");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(BeginSection(document, "T"));
  ASSERT_TRUE(WriteSection(document));
  ReleaseScript(document);
  EXPECT_EQ(ReadFile(Path("new.ini")), "[S]\r\nFLAGS=1\r\n\r\n[T]\r\n\r\n");
}

TEST_F(ScriptResourceTest, CreateModeMakesTheEmptyFile) {
  ScriptDocument* document =
      static_cast<ScriptDocument*>(GenericOpen(ScriptsList(), "made.ini", kResOwnName | kResFullPath, kOpenCreate));
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(Exists(Path("made.ini")));
  EXPECT_EQ(document->textStart, document->textEnd);
  ReleaseScript(document);

  // A folder in the way: the create fails through the assert box and gives nothing.
  ASSERT_EQ(mkdir(Path("blocked.ini").c_str(), 0755), 0);
  EXPECT_EQ(GenericOpen(ScriptsList(), "blocked.ini", kResOwnName | kResFullPath, kOpenCreate), nullptr);
  EXPECT_FALSE(Asserts().empty());
}

TEST_F(ScriptResourceTest, FolderInPlaceOfTheFile) {
  ASSERT_EQ(mkdir(Path("config.ini").c_str(), 0755), 0);
  ScriptDocument* document = OpenScript("config.ini");
  if (document) {
    EXPECT_TRUE(ReadDocument(document, "Config", kKeys).empty());
    ReleaseScript(document);
  }
  document = OpenScriptForWriting("config.ini");
  if (document) {
    ASSERT_TRUE(BeginSection(document, "Config"));
    EXPECT_FALSE(WriteSection(document));
    ReleaseScript(document);
  }
  EXPECT_TRUE(Exists(Path("config.ini")));
}

TEST_F(ScriptResourceTest, DocumentsLeftOpenAreFreedAtShutdown) {
  WriteFile(Path("left.ini"), "[S]\r\nFLAGS=1\r\n");
  ASSERT_NE(OpenScript("left.ini"), nullptr);
  ASSERT_NE(OpenScriptFromMemory("mem.ini", "x", 1), nullptr);
  ExecRemove();  // releases "Scripts" through ReleaseScriptElement
  EXPECT_FALSE(ExecStarted());
}

}  // namespace
}  // namespace scripttest
