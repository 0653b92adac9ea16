#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec_env.h"
#include "script/xmlcells.h"

namespace {

bool Find(const std::string& text, const char* tag, std::string* content) {
  XmlElement element;
  if (!FindXmlElement(text.data(), text.data() + text.size(), tag, &element)) return false;
  content->assign(element.contentBegin, element.contentEnd);
  return true;
}

TEST(XmlElement, FindsContentByTagName) {
  struct Case {
    std::string text;
    const char* tag;
    bool found;
    const char* content;
  } cases[] = {
      {"<Row>abc</Row>", "Row", true, "abc"},
      {"<ROW>abc</row>", "row", true, "abc"},                                // any case
      {"<?xml version=\"1.0\"?><Table><Row ss:Index=\"2\">x</Row>", "ROW", true, "x"},
      {"<Rows>no</Rows><Row>yes</Row>", "Row", true, "yes"},                 // whole names only
      {"<Row/><Row>yes</Row>", "Row", true, "yes"},                          // self-closing passed over
      {"<Cell ss:StyleID=\"s1\"/><Cell><Data>d</Data></Cell>", "Cell", true, "<Data>d</Data>"},
      {"<Row><Cell>a</Cell><Cell>b</Cell></Row>", "Row", true, "<Cell>a</Cell><Cell>b</Cell>"},
      {"<Row>a</Cell></Row >b</Row>", "Row", true, "a</Cell></Row >b"},      // "Row " is not "Row"
      {"<Row>unclosed", "Row", false, ""}, {"<Row", "Row", false, ""}, {"<Row>a<", "Row", false, ""},
      {"<Row>a</Row", "Row", false, ""},
      {std::string("<Row>a\0</Row>", 13), "Row", false, ""},                  // NUL ends the data
      {"<Row>a\x1A</Row>", "Row", false, ""},
      {std::string("\x1A<Row>a</Row>"), "Row", false, ""},
      {"no tags at all", "Row", false, ""},
      {"", "Row", false, ""},
  };
  for (const Case& c : cases) {
    std::string content;
    EXPECT_EQ(Find(c.text, c.tag, &content), c.found) << c.text;
    if (c.found) {
      EXPECT_EQ(content, c.content) << c.text;
    }
  }
  std::string longName(200, 'A');
  std::string text = "<" + longName + ">x</" + longName + ">";
  std::string content;
  EXPECT_FALSE(Find(text, longName.c_str(), &content));
}

class XmlCellsTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_TRUE(Start(0));
    InitXmlCellList(&cells_);
  }
  void TearDown() override {
    EmptyXmlCells(&cells_);
    ExecEnv::TearDown();
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (ExecNode* n = FirstNode(&cells_.list); n; n = NextNode(n)) texts.push_back(reinterpret_cast<XmlCell*>(n)->text);
    return texts;
  }
  ExecList cells_;
};

TEST_F(XmlCellsTest, ReadsRowsOfDataCells) {
  std::string text =
      "<Workbook><Worksheet ss:Name=\"x\"><Table>\n"
      "<Row><Cell><Data ss:Type=\"String\">[English]</Data></Cell><cell><DATA>[French]</DATA></cell></Row>\n"
      "<Row ss:Height=\"12\"><Cell ss:Index=\"1\"><Data>a &amp; b</Data></Cell><Cell><Data></Data></Cell></Row>\n"
      "<Row></Row>\n"
      "</Table></Worksheet></Workbook>";
  XmlCursor cursor{text.data(), text.data() + text.size()};
  ASSERT_TRUE(ReadRow(&cursor, &cells_));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"[English]", "[French]"}));
  ASSERT_TRUE(ReadRow(&cursor, &cells_));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"a &amp; b", ""}));  // taken as it stands
  EXPECT_EQ(XmlCellAt(&cells_, 0)->length, 9u);
  EXPECT_STREQ(XmlCellAt(&cells_, 7)->text, "");  // past the end: the last cell
  ASSERT_TRUE(ReadRow(&cursor, &cells_));
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(XmlCellAt(&cells_, 0), nullptr);
  EXPECT_FALSE(ReadRow(&cursor, &cells_));
}

TEST_F(XmlCellsTest, CellWithoutDataEndsTheReading) {
  std::string text = "<Row><Cell><Data>a</Data></Cell><Cell>b</Cell></Row><Row><Cell><Data>c</Data></Cell></Row>";
  XmlCursor cursor{text.data(), text.data() + text.size()};
  EXPECT_FALSE(ReadRow(&cursor, &cells_));
}

TEST_F(XmlCellsTest, MarkersMatchInAnyCase) {
  std::string text =
      "<Row><Cell><Data>[english]</Data></Cell></Row>"
      "<Row><Cell><Data>x</Data></Cell><Cell><Data>[MEMUNITS]</Data></Cell></Row>"
      "<Row><Cell><Data>bytes</Data></Cell></Row>";
  XmlCursor cursor{text.data(), text.data() + text.size()};
  ASSERT_TRUE(FindMarker(&cursor, "MemUnits", &cells_));
  ASSERT_TRUE(ReadRow(&cursor, &cells_));
  EXPECT_EQ(Texts(), std::vector<std::string>{"bytes"});
  cursor.position = text.data();
  EXPECT_TRUE(FindMarker(&cursor, "English", &cells_));
  EXPECT_FALSE(FindMarker(&cursor, "English", &cells_));  // only after the cursor
  cursor.position = text.data();
  EXPECT_FALSE(FindMarker(&cursor, "Engl", &cells_));
}

TEST_F(XmlCellsTest, HugeCellIsCopiedWhole) {
  std::string big(2 * 1024 * 1024, 'x');
  std::string text = "<Row><Cell><Data>" + big + "</Data></Cell></Row>";
  XmlCursor cursor{text.data(), text.data() + text.size()};
  ASSERT_TRUE(ReadRow(&cursor, &cells_));
  ASSERT_EQ(CountNodes(&cells_.list), 1u);
  EXPECT_EQ(XmlCellAt(&cells_, 0)->length, big.size());
  // One larger than the pool: a clean failure, nothing held.
  uint64_t before = AvailPoolMem();
  EmptyXmlCells(&cells_);
  std::string huge(9 * 1024 * 1024, 'y');
  text = "<Row><Cell><Data>" + huge + "</Data></Cell></Row>";
  cursor = XmlCursor{text.data(), text.data() + text.size()};
  EXPECT_FALSE(ReadRow(&cursor, &cells_));
  EXPECT_EQ(AssertRecorder::Last(), "AllocMem: Could not allocate memory\n");
  EmptyXmlCells(&cells_);
  EXPECT_GE(AvailPoolMem(), before);
}

// Every prefix of a real table file and pseudo-random bytes: reading always
// ends, stays inside the text and never reports more than was there.
TEST_F(XmlCellsTest, TruncatedAndRandomInputEnds) {
  std::string xml = ReadFile(std::string(TS_SOURCE_DIR) + "/data/System/Resources/Scripts/Exec.xml");
  ASSERT_GT(xml.size(), 1000u);
  XmlCursor all{xml.data(), xml.data() + xml.size()};
  size_t fullRows = 0;
  while (ReadRow(&all, &cells_)) ++fullRows;
  EXPECT_GT(fullRows, 40u);
  for (size_t length = 0; length < xml.size(); length += (length < 2000 ? 1 : 97)) {
    XmlCursor cursor{xml.data(), xml.data() + length};
    size_t rows = 0;
    while (ReadRow(&cursor, &cells_)) {
      ASSERT_LE(cursor.position, xml.data() + length);
      ++rows;
    }
    ASSERT_LT(rows, fullRows);
  }

  uint32_t seed = 12345;
  const char alphabet[] = "<>/ RowCelDatr[]\x1A\n\"=a";
  for (int round = 0; round < 300; ++round) {
    std::string noise;
    size_t length = 1 + round * 7;
    for (size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      noise.push_back((seed >> 24) & 1 ? alphabet[(seed >> 16) % (sizeof alphabet - 1)] : char(seed >> 16));
    }
    XmlCursor cursor{noise.data(), noise.data() + noise.size()};
    int guard = 0;
    while (ReadRow(&cursor, &cells_) && ++guard < 100000) ASSERT_LE(cursor.position, noise.data() + noise.size());
    ASSERT_LT(guard, 100000);
  }
}

}  // namespace
