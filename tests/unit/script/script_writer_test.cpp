#include <sys/stat.h>

#include "script/atomic_file.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

const ScriptKey kKeys[] = {
    {"FLAGS", 0, 1}, {"USED_DEVICE_GUID", 6, 11}, {"NAME", 8, 2}, {"EMPTY", 9, 0}, {nullptr, 0, 0},
};

class ScriptWriterTest : public ScriptTest {
 protected:
  void TearDown() override {
    atomic_file::FailStepForTest(atomic_file::Step::kNone);
    ScriptTest::TearDown();
  }

  // A document over the file at name (its bytes, or empty when it is missing).
  ScriptDocument* Open(const std::string& name) {
    std::string bytes = Exists(Path(name)) ? ReadFile(Path(name)) : "";
    return NewScriptDocument(Path(name).c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
  }

  // A new, empty document for the file at name with section "S" begun.
  ScriptDocument* NewSection(const std::string& name) {
    ScriptDocument* document = NewScriptDocument(Path(name).c_str(), nullptr, 0);
    if (document && !BeginSection(document, "S")) {
      DeleteScriptDocument(document);
      return nullptr;
    }
    return document;
  }

  // Writes section "Config" with FLAGS=flags into the file, true on success.
  bool WriteFlags(const std::string& name, int32_t flags) {
    ScriptDocument* document = Open(name);
    if (!document) return false;
    bool ok = BeginSection(document, "Config");
    AddNumber(AddKey(document, kKeys, 0), flags);
    ok = WriteSection(document) && ok;
    DeleteScriptDocument(document);
    return ok;
  }
};

TEST_F(ScriptWriterTest, ConfigExampleIsByteExact) {
  ScriptDocument* document = Open("config.ini");
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(BeginSection(document, "Config"));
  AddNumber(AddKey(document, kKeys, 0), 3);
  ScriptKeyLine* guid = AddKey(document, kKeys, 6);
  for (int32_t value : {1, 2, 3}) AddNumber(guid, value);
  const std::string expected = "[Config]\r\nFLAGS=3\r\nUSED_DEVICE_GUID=1,2,3\r\n\r\n";
  EXPECT_EQ(ScriptNewTextSize(document), expected.size());
  ASSERT_TRUE(WriteSection(document));
  EXPECT_EQ(ReadFile(Path("config.ini")), expected);
  EXPECT_FALSE(Exists(Path("config.ini.tmp")));
  // The written text is now the document's own.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(document->textStart),
                        document->textEnd - document->textStart),
            expected);
  EXPECT_EQ(document->sectionName, nullptr);
  // The GUID line runs out of tokens at the end of the text: its three values are handed over.
  EXPECT_EQ(ReadDocument(document, "config", kKeys), (Lines{{0, {"3"}}, {6, {"1", "2", "3"}}}));
  DeleteScriptDocument(document);
}

TEST_F(ScriptWriterTest, SavesReplaceOrAddTheSectionAndKeepTheRest) {
  using namespace std::string_literals;
  const std::string before = "; top\r\n[A]\r\nX=\"a [b\"\r\n\r\n";
  const std::string after = "[B]\r\nY=2\r\n// end without line end";
  const std::string tail = "\0\0\0\x1a tail"s;
  struct Case {
    const char* what;
    std::string file;
    std::string head, rest;  // the saved file is head + the section + rest
  };
  const Case cases[] = {
      {"rewritten in place", before + "[config]\r\nFLAGS=1\r\nJUNK=2\r\n\r\n" + after, before, after},
      {"appended when missing", "[A]\r\nX=1\r\n", "[A]\r\nX=1\r\n", ""},
      // A last line without its line end gets one, so its value stays its own.
      {"after a last line without its end", "[A]\r\nX=1", "[A]\r\nX=1\r\n", ""},
      {"before the end of the data", "[A]\r\nX=1\r\n" + tail, "[A]\r\nX=1\r\n", tail},
      // A file an earlier version wrote with a bracket unquoted is cleaned up.
      {"over an unquoted bracket", "[Config]\r\nNAME=Game[beta],1\r\n\r\n[B]\r\nY=1\r\n", "", "[B]\r\nY=1\r\n"},
      // Brackets the reader never takes for a header do not end the old section.
      {"over comments with brackets",
       "[Config]\r\n// see [notes]\r\nFLAGS=1 /* [x]\r\n[y] */\r\nNAME= [typed],1\r\n\r\n[B]\r\nY=1\r\n", "",
       "[B]\r\nY=1\r\n"},
      {"up to a header after a value", "[Config]\r\nFLAGS=1 [B]\r\nY=1\r\n", "", "[B]\r\nY=1\r\n"},
  };
  for (const Case& c : cases) {
    WriteFile(Path("c.ini"), c.file);
    // Saving twice: the second save finds the section the first one wrote.
    for (int32_t flags : {6, 7}) {
      ASSERT_TRUE(WriteFlags("c.ini", flags)) << c.what;
      EXPECT_EQ(ReadFile(Path("c.ini")), c.head + "[Config]\r\nFLAGS=" + std::to_string(flags) + "\r\n\r\n" + c.rest)
          << c.what;
    }
  }
}

TEST_F(ScriptWriterTest, ValuesWithBracketsDoNotGrowTheFile) {
  WriteFile(Path("p.ini"), "[Other]\r\nK=1\r\n");
  for (int round = 0; round < 3; ++round) {
    ScriptDocument* document = Open("p.ini");
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(BeginSection(document, "GameProfiles"));
    ScriptKeyLine* line = AddKey(document, kKeys, 8);
    AddString(line, "Rally [beta]");
    AddString(line, "x[y");
    ASSERT_TRUE(WriteSection(document));
    DeleteScriptDocument(document);
  }
  EXPECT_EQ(ReadFile(Path("p.ini")), "[Other]\r\nK=1\r\n[GameProfiles]\r\nNAME=\"Rally [beta]\",\"x[y\"\r\n\r\n");
}

TEST_F(ScriptWriterTest, StringsReadBackAsTheSameSingleValue) {
  const char* texts[] = {
      "plain", "two words", "it's", "a,b", "a=b", "<a>", "a|b", "(x)", "tab\there", "say \"hi\"",
      "\"quoted\"", "\"", "'", "back\\slash", "mix 'single' and \"double\"", "url//x", "a/*b", "[x]",
      "x[y", "", "-", "/", "end\\", "\\'", "\xe9t\xe9", "*/", "a b\\\"c'd",
  };
  for (const char* text : texts) {
    ScriptDocument* document = NewSection("s.ini");
    ASSERT_NE(document, nullptr);
    ScriptKeyLine* line = AddKey(document, kKeys, 8);
    EXPECT_TRUE(AddString(line, text)) << text;
    AddNumber(line, 7);
    AddNumber(AddKey(document, kKeys, 0), 1);
    ASSERT_TRUE(WriteSection(document));
    EXPECT_EQ(ReadDocument(document, "S", kKeys), (Lines{{8, {text, "7"}}, {0, {"1"}}}))
        << text << " written as " << ReadFile(Path("s.ini"));
    DeleteScriptDocument(document);
  }
}

// Every 32-bit number the writer is given reads back as itself; below
// -999999999 a decimal would take eleven characters, which read as 0.
TEST_F(ScriptWriterTest, NumbersReadBackAsThemselves) {
  struct Case {
    int32_t number;
    const char* written;
  };
  const Case cases[] = {
      {0, "0"}, {-1, "-1"}, {2147483647, "2147483647"}, {-999999999, "-999999999"},
      {-1000000000, "0xC4653600"}, {-1431655766, "0xAAAAAAAA"}, {INT32_MIN, "0x80000000"},
  };
  for (const Case& c : cases) {
    ScriptDocument* document = NewSection("n.ini");
    ASSERT_NE(document, nullptr);
    AddNumber(AddKey(document, kKeys, 0), c.number);
    ASSERT_TRUE(WriteSection(document));
    EXPECT_EQ(ReadFile(Path("n.ini")), std::string("[S]\r\nFLAGS=") + c.written + "\r\n\r\n");
    const Lines lines = ReadDocument(document, "S", kKeys);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(ParseNumber(lines[0].values.at(0).c_str()), c.number) << c.written;
    DeleteScriptDocument(document);
  }
}

TEST_F(ScriptWriterTest, QuotingBytes) {
  struct {
    const char* text;
    const char* written;
  } const cases[] = {
      {"plain", "plain"}, {"two words", "\"two words\""}, {"it's", "\"it's\""}, {"", "\"\""}, {nullptr, "\"\""},
      {"a,b", "\"a,b\""}, {"a=b", "\"a=b\""}, {"say \"hi\"", "'say \"hi\"'"}, {"it's \"x\"", "'it\\'s \"x\"'"},
  };
  for (const auto& c : cases) {
    ScriptDocument* document = NewSection("q.ini");
    ASSERT_NE(document, nullptr);
    AddString(AddKey(document, kKeys, 8), c.text);
    ASSERT_TRUE(WriteSection(document));
    EXPECT_EQ(ReadFile(Path("q.ini")), std::string("[S]\r\nNAME=") + c.written + "\r\n\r\n")
        << (c.text ? c.text : "(null)");
    DeleteScriptDocument(document);
  }
}

TEST_F(ScriptWriterTest, UnwritableStringsKeepTheLineWhole) {
  ScriptDocument* document = NewSection("u.ini");
  ASSERT_NE(document, nullptr);
  ScriptKeyLine* line = AddKey(document, kKeys, 8);
  EXPECT_FALSE(AddString(line, "two\r\nlines"));
  EXPECT_FALSE(AddString(line, "eof\x1a"));
  ScriptKeyLine* next = AddKey(document, kKeys, 0);
  AddNumber(next, 5);
  ASSERT_TRUE(WriteSection(document));
  EXPECT_EQ(ReadFile(Path("u.ini")), "[S]\r\nNAME=\"\",\"\"\r\nFLAGS=5\r\n\r\n");

  // Values up to the reader's longest come back whole, quoted or not; a longer
  // one is refused like a line break (cut, it would read back as another).
  struct Case {
    std::string text;
    bool written;
  };
  const Case cases[] = {
      {std::string(kScriptTokenMax, 'p'), true},
      {"x " + std::string(kScriptTokenMax - 2, 'y'), true},
      {"'\\\"" + std::string(kScriptTokenMax - 3, 'q'), true},  // every kind of escape
      {std::string(kScriptTokenMax - 1, '\''), true},
      {std::string(kScriptTokenMax + 1, 'p'), false},
      {"x " + std::string(600, 'y') + std::string(600, '"'), false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(BeginSection(document, "S"));
    ScriptKeyLine* name = AddKey(document, kKeys, 8);
    EXPECT_EQ(AddString(name, c.text.c_str()), c.written) << c.text.size();
    AddNumber(name, 5);
    ASSERT_TRUE(WriteSection(document));
    EXPECT_EQ(ReadDocument(document, "S", kKeys), (Lines{{8, {c.written ? c.text : std::string(), "5"}}}))
        << c.text.size();
  }
  DeleteScriptDocument(document);
}

TEST_F(ScriptWriterTest, FailedWriteLeavesTheOldFileWhole) {
  const std::string old = "[Config]\r\nFLAGS=1\r\n\r\n[Keep]\r\nK=1\r\n";
  WriteFile(Path("c.ini"), old);
  for (atomic_file::Step step : {atomic_file::Step::kWrite, atomic_file::Step::kMove}) {
    atomic_file::FailStepForTest(step);
    ScriptDocument* document = Open("c.ini");
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(BeginSection(document, "Config"));
    AddNumber(AddKey(document, kKeys, 0), 9);
    EXPECT_FALSE(WriteSection(document));
    EXPECT_EQ(ReadFile(Path("c.ini")), old);
    EXPECT_FALSE(Exists(Path("c.ini.tmp")));
    EXPECT_EQ(document->sectionName, nullptr);
    EXPECT_EQ(ReadDocument(document, "Config", kKeys), (Lines{{0, {"1"}}})) << "the document keeps its old text";
    DeleteScriptDocument(document);
  }
}

TEST_F(ScriptWriterTest, ReadOnlyFilesAndFoldersAreLeftAlone) {
  WriteFile(Path("ro.ini"), "[Config]\r\nFLAGS=1\r\n");
  ASSERT_EQ(chmod(Path("ro.ini").c_str(), 0444), 0);
  EXPECT_FALSE(WriteFlags("ro.ini", 2));
  EXPECT_EQ(ReadFile(Path("ro.ini")), "[Config]\r\nFLAGS=1\r\n");

  ASSERT_EQ(mkdir(Path("dir.ini").c_str(), 0755), 0);
  WriteFile(Path("dir.ini/inside"), "x");
  EXPECT_FALSE(WriteFlags("dir.ini", 2));
  EXPECT_EQ(ReadFile(Path("dir.ini/inside")), "x");
  EXPECT_FALSE(Exists(Path("dir.ini.tmp")));

  // A file where a folder of the path should be.
  WriteFile(Path("blocker"), "b");
  EXPECT_FALSE(WriteFlags("blocker/c.ini", 2));
  EXPECT_EQ(ReadFile(Path("blocker")), "b");
}

TEST_F(ScriptWriterTest, MissingFoldersAreCreatedAndModesKept) {
  ASSERT_TRUE(WriteFlags("sub/deeper/c.ini", 4));
  EXPECT_EQ(ReadFile(Path("sub/deeper/c.ini")), "[Config]\r\nFLAGS=4\r\n\r\n");

  WriteFile(Path("m.ini"), "");
  ASSERT_EQ(chmod(Path("m.ini").c_str(), 0640), 0);
  ASSERT_TRUE(WriteFlags("m.ini", 1));
  struct stat info;
  ASSERT_EQ(stat(Path("m.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ScriptWriterTest, MisuseIsRefused) {
  ScriptDocument* document = NewScriptDocument(Path("x.ini").c_str(), nullptr, 0);
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(WriteSection(document)) << "no section begun";
  EXPECT_EQ(AddKey(document, kKeys, 0), nullptr);
  const char* badNames[] = {"", "a]b", "[a", "a\r\nb", nullptr};
  for (const char* bad : badNames) EXPECT_FALSE(BeginSection(document, bad));
  EXPECT_FALSE(BeginSection(document, std::string(128, 's').c_str()));
  ASSERT_TRUE(BeginSection(document, std::string(127, 's').c_str()));
  EXPECT_EQ(AddKey(document, kKeys, 77), nullptr);
  EXPECT_FALSE(AddNumber(nullptr, 1));
  EXPECT_FALSE(AddString(nullptr, "x"));
  ScriptKeyLine* empty = AddKey(document, kKeys, 9);
  ASSERT_NE(empty, nullptr);
  ASSERT_TRUE(WriteSection(document));
  EXPECT_EQ(ReadFile(Path("x.ini")), "[" + std::string(127, 's') + "]\r\nEMPTY=\r\n\r\n");
  DeleteScriptDocument(document);
  EXPECT_FALSE(Exists(Path("x.ini.tmp")));
}

}  // namespace
}  // namespace scripttest
