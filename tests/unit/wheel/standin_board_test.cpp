// The stand-in board's protocol state machine, without a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standin_board/standin_board.h"
#include "wheel_fakes.h"

namespace {

Bytes Feed(StandinBoard& board, const Bytes& in) {
  Bytes out;
  board.Receive(in.data(), in.size(), &out);
  return out;
}

TEST(StandinBoard, AnswersEachCommandLikeTheBoard) {
  struct Case {
    const char* name;
    Bytes request;
    Bytes reply;
  };
  const Case cases[] = {
      {"handshake", B("orvenk?"), B("DuvarKemol")},
      {"handshake after junk", B("xx\x01orvenk?"), B("DuvarKemol")},
      {"handshake after a false start", B("oorvenk?"), B("DuvarKemol")},
      {"max angle, 4 bytes", {'p', 8, 4}, {0x84, 0x03, 0x00, 0x00}},
      {"main gain, 1 byte", {'p', 17, 1}, {64}},
      {"external gain marker -1", {'p', 25, 1}, {0xFF}},
      {"curve, 2 bytes", {'p', 80, 2}, {32, 0}},
      {"unknown parameter answers zeros", {'p', 200, 2}, {0, 0}},
      {"size 0 answers nothing", {'p', 8, 0}, {}},
      {"status", B("S"), {8}},
      {"version", B("V"), {0x05, 0x01, 0x00, 0x00}},
      {"write has no reply", {'P', 8, 4, 0, 0, 3, 0x84}, {}},
      {"calibrate has no reply", B("r"), {}},
      {"junk has no reply", {0x00, 0x99, 'x'}, {}},
  };
  for (const Case& c : cases) {
    StandinBoard board;
    EXPECT_EQ(Feed(board, c.request), c.reply) << c.name;
    EXPECT_EQ(board.Received(), c.request) << c.name;
  }
}

TEST(StandinBoard, WritesAreBigEndianAndSignExtended) {
  struct Case {
    Bytes write;
    uint8_t number;
    int32_t value;
  };
  const Case cases[] = {
      {{'P', 8, 4, 0x00, 0x00, 0x03, 0x84}, 8, 900},
      {{'P', 17, 1, 0x7F}, 17, 127}, {{'P', 40, 1, 0xFF}, 40, -1}, {{'P', 80, 2, 0xFF, 0xFE}, 80, -2},
      {{'P', 12, 4, 0xFF, 0xFF, 0xFF, 0xFE}, 12, -2},
      {{'P', 9, 6, 0x11, 0x22, 0x00, 0x00, 0x01, 0x02}, 9, 0x0102},  // low four bytes kept
  };
  for (const Case& c : cases) {
    StandinBoard board;
    EXPECT_TRUE(Feed(board, c.write).empty());
    EXPECT_EQ(board.Parameter(c.number), c.value) << int(c.number);
    // And it reads back little-endian.
    Bytes back = Feed(board, {'p', c.number, 4});
    uint32_t raw = back[0] | back[1] << 8 | back[2] << 16 | uint32_t(back[3]) << 24;
    EXPECT_EQ(static_cast<int32_t>(raw), c.value);
  }
}

TEST(StandinBoard, CommandsSplitAcrossChunksGiveTheSameAnswers) {
  StandinBoard whole, split;
  const Bytes stream = {'o', 'r', 'v', 'e', 'n', 'k', '?', 'P', 8, 4, 0, 0, 3, 0x84, 'p', 8, 4, 'S', 'V'};
  Bytes a = Feed(whole, stream);
  Bytes b;
  for (uint8_t byte : stream) {
    Bytes one = Feed(split, {byte});
    b.insert(b.end(), one.begin(), one.end());
  }
  EXPECT_EQ(a, b);
  EXPECT_EQ(split.Parameter(8), 900);
}

TEST(StandinBoard, StatusScriptAndCalibration) {
  StandinBoard board;
  board.SetStatusScript({7, 8});
  EXPECT_EQ(Feed(board, B("SSS")), (Bytes{7, 8, 8}));
  board.SetCalibrationScript({1, 3, 4, 8});
  Feed(board, B("r"));
  EXPECT_EQ(Feed(board, B("SSSSS")), (Bytes{1, 3, 4, 8, 8}));
}

TEST(StandinBoard, CentreAndDefaults) {
  StandinBoard board;
  board.SetCentreOffset(-321);
  Feed(board, B("c"));
  EXPECT_EQ(board.Parameter(4), -321);
  Feed(board, {'P', 17, 1, 5});
  EXPECT_EQ(board.Parameter(17), 5);
  Feed(board, B("D"));
  EXPECT_EQ(board.Parameter(17), 64);
  EXPECT_EQ(board.Parameter(4), 0);
}

TEST(StandinBoard, Misbehaviour) {
  struct Case {
    const char* control;
    Bytes request;
    Bytes reply;
  };
  const Case cases[] = {
      {"silent on", B("orvenk?Sp\x08\x04"), {}}, {"double on", B("S"), {8, 8}},
      {"short 2", {'p', 8, 4}, {0x84, 0x03}},
      {"hello DDuvarKemol", B("orvenk?"), B("DDuvarKemol")},
  };
  for (const Case& c : cases) {
    StandinBoard board;
    ASSERT_TRUE(board.Control(c.control, nullptr)) << c.control;
    EXPECT_EQ(Feed(board, c.request), c.reply) << c.control;
  }
  // Noise before the answer holds neither its first nor its last letter.
  StandinBoard board;
  board.SetNoise(20);
  Bytes reply = Feed(board, B("orvenk?"));
  ASSERT_EQ(reply.size(), 30u);
  EXPECT_EQ(Bytes(reply.end() - 10, reply.end()), B("DuvarKemol"));
  for (size_t i = 0; i < 20; ++i) {
    EXPECT_NE(reply[i], 'D');
    EXPECT_NE(reply[i], 'l');
  }
}

TEST(StandinBoard, ReportsOnlyWhileDebugging) {
  StandinBoard board;
  EXPECT_FALSE(board.ReportsEnabled());
  Feed(board, {'P', 16, 1, 1});
  EXPECT_TRUE(board.ReportsEnabled());
  Bytes report;
  board.MakeReport(&report);
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[0], '#');
}

TEST(StandinBoard, TranscriptNotesEveryByte) {
  StandinBoard board;
  size_t in = 0, out = 0;
  std::vector<std::string> texts;
  board.SetNote([&](char d, const uint8_t*, size_t n, const std::string& t) {
    if (d == '<') in += n;
    if (d == '>') out += n;
    texts.push_back(t);
  });
  const Bytes stream = {'z', 'o', 'r', 'v', 'e', 'n', 'k', '?', 'p', 8, 4, 'P', 8, 4, 0, 0, 3, 0x84, 'S'};
  Bytes reply = Feed(board, stream);
  EXPECT_EQ(in, stream.size());
  EXPECT_EQ(out, reply.size());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "P 8 4 = 900"), texts.end());
}

TEST(StandinBoard, ControlLines) {
  struct Case {
    const char* line;
    bool ok;
  };
  const Case cases[] = {
      {"silent on", true},   {"silent maybe", false}, {"noise 12", true},      {"noise -1", false},
      {"double off", true},  {"short 1", true},       {"hello DuvarKemol", true}, {"hello", false},
      {"status 7,8", true},  {"status 7 8", true},    {"status 300", false},   {"status", false},
      {"calibration 1,2,8", true}, {"version 2.3", true}, {"version 2", false}, {"version 1.999", false},
      {"set 8 720", true},   {"set 8", false},        {"set 256 1", false},    {"centre -5", true},
      {"defaults", true},    {"fly", false},          {"", false},
  };
  for (const Case& c : cases) {
    StandinBoard board;
    std::string error;
    EXPECT_EQ(board.Control(c.line, &error), c.ok) << c.line;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.line;
    }
  }
  StandinBoard board;
  ASSERT_TRUE(board.Control("version 2.3", nullptr));
  EXPECT_EQ(Feed(board, B("V")), (Bytes{3, 2, 0, 0}));
  ASSERT_TRUE(board.Control("set 8 720", nullptr));
  EXPECT_EQ(board.Parameter(8), 720);
  ASSERT_TRUE(board.Control("status 7 8", nullptr));
  EXPECT_EQ(Feed(board, B("SS")), (Bytes{7, 8}));
}

}  // namespace
