
#include "exec/file.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

const ScriptKey kKeys[] = {
    {"FLAGS", 0, 1}, {"PAIR", 1, 2}, {"LIST", 2, ScriptKeyToLineEnd}, {"NONE", 3, 0}, {nullptr, 0, 0},
};

struct SyntaxCase {
  const char* name;
  std::string body;  // the text after "[S]\r\n"
  Lines expected;
};

using ScriptReaderTest = ScriptTest;

TEST_F(ScriptReaderTest, KeyLines) {
  using namespace std::string_literals;
  const SyntaxCase cases[] = {
      {"equals", "FLAGS=3\r\n", {{0, {"3"}}}},
      {"spaces", "FLAGS = 3\r\n", {{0, {"3"}}}},
      {"lower case key", "flags 3\r\n", {{0, {"3"}}}},
      {"double equals", "FLAGS==3\r\n", {{0, {"3"}}}},
      {"LF only", "FLAGS=3\n", {{0, {"3"}}}},
      {"angle brackets", "FLAGS=<3>\r\n", {}},
      {"trailing comma", "FLAGS=3,\r\n", {}},
      {"trailing comment", "FLAGS=3 // note\r\n", {}},
      {"comment line", "// FLAGS=9\r\nFLAGS=3\r\n", {{0, {"3"}}}},
      {"block comment", "/* FLAGS=9\r\nFLAGS=8 */\r\nFLAGS=3\r\n", {{0, {"3"}}}},
      {"pair", "PAIR=1,2\r\n", {{1, {"1", "2"}}}},
      {"pair with spaces", "PAIR = 1 , 2\r\n", {{1, {"1", "2"}}}},
      {"pair by spaces", "PAIR 1 2\r\n", {{1, {"1", "2"}}}},
      {"pair runs on over the line end", "PAIR=1\r\n2\r\n", {{1, {"1", "2"}}}},
      {"extra values are not handed over", "PAIR=1,2,3\r\nFLAGS=4\r\n", {{0, {"4"}}}},
      {"to line end", "LIST=a,b,c\r\n", {{2, {"a", "b", "c"}}}},
      {"to line end, none", "LIST=\r\n", {{2, {}}}},
      {"no values", "NONE\r\nFLAGS=1\r\n", {{3, {}}, {0, {"1"}}}},
      {"double quoted", "LIST=\"a b,c\"\r\n", {{2, {"a b,c"}}}},
      {"quote inside a token", "LIST=ab\"c d\"\r\n", {{2, {"abc d"}}}},
      {"empty double quotes", "LIST=\"\"\r\n", {{2, {""}}}},
      {"single quoted escape", "LIST='it\\'s'\r\n", {{2, {"it's"}}}},
      {"empty single quotes", "LIST=''\r\n", {{2, {""}}}},
      {"lone slash", "LIST=a/b\r\n", {{2, {"a/b"}}}},
      {"unknown key skipped", "OTHER=1,2\r\nFLAGS=3\r\n", {{0, {"3"}}}},
      {"next section ends", "FLAGS=3\r\n[Next]\r\nFLAGS=4\r\n", {{0, {"3"}}}},
      {"last line without line end keeps its value", "FLAGS=3", {{0, {"3"}}}},
      {"last pair without line end", "PAIR=1,2", {{1, {"1", "2"}}}},
      {"last key alone at the end", "FLAGS=3\r\nNONE", {{0, {"3"}}, {3, {}}}},
      {"NUL ends the data", "FLAGS=3\r\n\0FLAGS=4\r\n"s, {{0, {"3"}}}},
      {"0x1A ends the data", "FLAGS=3\r\n\x1a" "FLAGS=4\r\n", {{0, {"3"}}}},
      {"NUL right after a value", "FLAGS=3\0FLAGS=4\r\n"s, {{0, {"3"}}}},
      {"parentheses are passed over", "PAIR=(1,2)\r\nFLAGS=5\r\n", {{0, {"5"}}}},
      {"unterminated double quote", "LIST=\"abc\r\nFLAGS=3\r\n", {{2, {}}}},
      {"unterminated single quote", "LIST='abc\r\nFLAGS=3\r\n", {{2, {}}}},
      {"unterminated block comment", "FLAGS=3\r\n/* FLAGS=4\r\n", {{0, {"3"}}}},
      {"comment at the very end", "FLAGS=3\r\n// end", {{0, {"3"}}}},
      {"backslash at the end of a quote", "LIST='ab\\", {{2, {}}}},
  };
  for (const SyntaxCase& c : cases) {
    EXPECT_EQ(ReadLines("[S]\r\n" + c.body, "S", kKeys), c.expected) << c.name;
  }
}

TEST_F(ScriptReaderTest, SectionSearch) {
  using namespace std::string_literals;
  const Lines three{{0, {"3"}}};
  EXPECT_EQ(ReadLines("[config]\r\nFLAGS=3\r\n", "Config", kKeys), three) << "any case";
  EXPECT_EQ(ReadLines("[A]\r\nFLAGS=1\r\n[B]\r\nFLAGS=3\r\n", "b", kKeys), three);
  EXPECT_EQ(ReadLines("[a[B]\r\nFLAGS=3\r\n", "B", kKeys), three) << "every '[' is a candidate";
  EXPECT_EQ(ReadLines("FLAGS=3\r\n[B]\r\nFLAGS=4\r\n", nullptr, kKeys), three) << "no section: from the start";
  EXPECT_TRUE(ReadLines("[A]\r\nFLAGS=3\r\n", "B", kKeys).empty());
  EXPECT_TRUE(ReadLines("[A\r\nFLAGS=3\r\n", "A", kKeys).empty()) << "'[' without ']'";
  EXPECT_TRUE(ReadLines("", "A", kKeys).empty());
  EXPECT_TRUE(ReadLines("\0[A]\r\nFLAGS=3\r\n"s, "A", kKeys).empty()) << "past the end of the data";
  // The search takes a '[' inside an earlier value for a header.
  EXPECT_EQ(ReadLines("[A]\r\nX=a[S]b\r\nFLAGS=2\r\n[S]\r\nFLAGS=1\r\n", "S", kKeys), (Lines{{0, {"2"}}}));

  std::string longName(300, 'N');
  EXPECT_TRUE(ReadLines("[" + longName + "]\r\nFLAGS=3\r\n", longName.c_str(), kKeys).empty());
  EXPECT_EQ(ReadLines("[" + longName + "]\r\n[S]\r\nFLAGS=3\r\n", "S", kKeys), three);
  std::string name127(127, 'n');
  EXPECT_EQ(ReadLines("[" + name127 + "]\r\nFLAGS=3\r\n", name127.c_str(), kKeys), three);

  // No name is no section (not a null read).
  const std::string text = "[A]\r\nFLAGS=3\r\n";
  ScriptDocument* document = NewScriptDocument("t.ini", text.data(), static_cast<uint32_t>(text.size()));
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(FindSection(document, nullptr));
  DeleteScriptDocument(document);
}

TEST_F(ScriptReaderTest, Numbers) {
  struct {
    const char* text;
    int32_t value;
  } const cases[] = {
      {"0x1F", 31}, {"0X10", 16}, {"1F", 31}, {"019", 19}, {"1.5", 5}, {"12.5", 5}, {"-42", -42},
      {"+7", 7}, {"FF", 255}, {"ff", 255}, {"1A", 26}, {"", 0}, {"0x", 0}, {"xyz", 0}, {"12G", 0x12},
      {"-2147483648", 0}, {"-2147483647", 0}, {"-214748364", -214748364}, {"2147483647", 2147483647},
      {"0xFFFFFFFF", -1}, {"4294967295", -1}, {"1-2", -2}, {"--5", -5}, {"123456789012", 0},
      {"0x123456789", 0x23456789},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
}

int ReadThreeNumbers(uint16_t, ScriptCursor* cursor) {
  std::vector<int32_t>* out = static_cast<std::vector<int32_t>*>(cursor->context);
  out->push_back(static_cast<int32_t>(ValuesLeft(cursor)));
  for (int i = 0; i < 3; ++i) out->push_back(NextNumber(cursor));
  out->push_back(static_cast<int32_t>(ValuesLeft(cursor)));
  return 0;
}

TEST_F(ScriptReaderTest, NextNumberGivesZeroWhenValuesRunOut) {
  std::string text = "[S]\r\nLIST=0x1F,1F\r\n";
  ScriptDocument* document = NewScriptDocument("t.ini", text.data(), static_cast<uint32_t>(text.size()));
  ASSERT_NE(document, nullptr);
  std::vector<int32_t> seen;
  document->context = &seen;
  ReadSection(document, "S", kKeys, ReadThreeNumbers);
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 31, 31, 0, 0}));
  DeleteScriptDocument(document);
}

TEST_F(ScriptReaderTest, LongTokensAreCutNeverOverrun) {
  std::string big(10u << 20, 'a');
  Lines lines = ReadLines("[S]\r\nLIST=" + big + ",b\r\nFLAGS=1\r\n", "S", kKeys);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].values.size(), 2u);
  EXPECT_EQ(lines[0].values[0], std::string(kScriptTokenMax, 'a'));
  EXPECT_EQ(lines[0].values[1], "b");

  lines = ReadLines("[S]\r\nLIST=\"" + big + "\"\r\n", "S", kKeys);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].values[0].size(), kScriptTokenMax);

  // A megabyte of '[' before the ']' is still one pass.
  EXPECT_TRUE(ReadLines(std::string(1u << 20, '[') + "]\r\nFLAGS=1\r\n", "S", kKeys).empty());
  EXPECT_EQ(ReadLines(std::string(1u << 20, '[') + "S]\r\nFLAGS=1\r\n", "S", kKeys), (Lines{{0, {"1"}}}));
}

TEST_F(ScriptReaderTest, TokensAndLineEnds) {
  std::string text = "a \"b c\",d//x\r\n e";
  ScriptDocument* document = NewScriptDocument("t.ini", text.data(), static_cast<uint32_t>(text.size()));
  ASSERT_NE(document, nullptr);
  EXPECT_STREQ(ReadToken(document), "a");
  EXPECT_FALSE(EndOfLine(document));
  EXPECT_STREQ(ReadToken(document), "b c");
  EXPECT_STREQ(ReadToken(document), "d");
  EXPECT_TRUE(EndOfLine(document)) << "the comment ran up to the LF";
  EXPECT_STREQ(ReadToken(document), "e") << "a token that runs into the end of the text is whole";
  EXPECT_FALSE(document->flags & kScriptEnd);
  EXPECT_STREQ(ReadToken(document), "");
  EXPECT_TRUE(document->flags & kScriptEnd);
  DeleteScriptDocument(document);
}

TEST_F(ScriptReaderTest, PathAndTextHelpers) {
  EXPECT_STREQ(FileNamePart("a\\b/c.ini"), "c.ini");
  EXPECT_STREQ(FileNamePart("c.ini"), "c.ini");
  char out[32];
  ASSERT_TRUE(FolderPart("C:\\games\\x\\c.ini", out, sizeof out));
  EXPECT_STREQ(out, "C:\\games\\x");
  ASSERT_TRUE(FolderPart("c.ini", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(FolderPart("abcdefgh\\x", out, 4));
  ASSERT_TRUE(FolderPart("a/b\\c/d.ini", out, sizeof out));
  EXPECT_STREQ(out, "a/b\\c") << "'/' separates folders too";
  char path[] = "dir.d\\name";
  StripExtension(path);
  EXPECT_STREQ(path, "dir.d\\name") << "a '\\' after the '.'";
  char slashed[] = "dir.d/name";
  StripExtension(slashed);
  EXPECT_STREQ(slashed, "dir.d/name") << "a '/' after the '.'";
  char file[] = "a\\b.c.ini";
  StripExtension(file);
  EXPECT_STREQ(file, "a\\b.c");
  ASSERT_TRUE(BaseName("x\\y/Config.INI", out, sizeof out));
  EXPECT_STREQ(out, "Config");
  char folder[8] = "abc";
  EXPECT_TRUE(AppendSeparator(folder, sizeof folder));
  EXPECT_STREQ(folder, "abc\\");
  EXPECT_TRUE(AppendSeparator(folder, sizeof folder));
  EXPECT_STREQ(folder, "abc\\");
  char full[4] = "abc";
  EXPECT_FALSE(AppendSeparator(full, sizeof full));
  char mixed[] = "aZ_9\xe9q";
  UpperCaseText(mixed);
  EXPECT_STREQ(mixed, "AZ_9\xe9Q");

  OwnedText owned{};
  ASSERT_TRUE(AssignText(&owned, "hello"));
  char* held = owned.text;
  ASSERT_TRUE(AssignText(&owned, "hi"));
  EXPECT_EQ(owned.text, held) << "a shorter text reuses the buffer";
  EXPECT_STREQ(owned.text, "hi");
  ASSERT_TRUE(AssignText(&owned, "a longer text"));
  EXPECT_STREQ(owned.text, "a longer text");
  FreeText(&owned);
}

}  // namespace
}  // namespace scripttest
