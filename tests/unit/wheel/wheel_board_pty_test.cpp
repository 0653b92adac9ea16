// The real termios channel and the WheelLink against the
// stand-in board running in-process behind a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exec/os.h"
#include "fake_dialog.h"
#include "wheel/com_ports.h"
#include "exec/com_port_paths_posix.h"
#include "standin_board/standin_host_posix.h"
#include "wheel/wheel_link.h"
#include "test_support.h"
#include "wheel_fakes.h"

namespace {

// The refresh, then ticks until its handshake has its answer (or gave up).
void RefreshAsTheTickDoes(WheelLink& link) {
  link.RefreshStatus();
  for (int tick = 0; tick < 100 && link.ProbePending(); ++tick) {
    os::SleepUs(10000);
    link.ContinueProbe();
  }
}


bool WaitUntil(const std::function<bool()>& done) {
  const Deadline deadline = Deadline::After(os::MonotonicUs(), 10000000);
  while (!done()) {
    if (deadline.Passed(os::MonotonicUs())) return false;
    os::SleepUs(1000);
  }
  return true;
}

class BoardOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComPortDirectory(directory.c_str());
    StandinHostOptions options;
    options.link = directory + "/COM7";
    options.transcript = directory + "/transcript.txt";
    host = std::make_unique<StandinHost>(options);
    ASSERT_TRUE(host->Start());
    link.view = &view;
    link.statusHold = false;
    link.wheelPort = 7;
  }
  void TearDown() override {
    link.channel->Close();
    host.reset();
    SetComPortDirectory(nullptr);
  }
  void Control(const std::string& line) {
    std::string error;
    ASSERT_TRUE(host->Control(line, &error)) << error;
  }
  // What the board received after the handshake.
  Bytes AfterProbe() {
    Bytes all = host->Received();
    EXPECT_GE(all.size(), 7u);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 7), B("orvenk?"));
    return Bytes(all.begin() + 7, all.end());
  }
  std::string TranscriptFile() const { return testsupport::ReadFile(directory + "/transcript.txt"); }

  testsupport::TempDir tmp{"ts_board"};
  std::string directory = tmp.path();
  std::unique_ptr<StandinHost> host;
  RecordingLinkView view;
  WheelLink link;
};

TEST_F(BoardOnPty, HandshakeAndBulkReadAreByteExact) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  EXPECT_EQ(link.linkState, kWheelFound);
  link.ReadAllParameters();
  const Bytes expected = BulkReadRequests();
  EXPECT_EQ(AfterProbe(), expected);
  const WheelParameterTable& p = link.parameters;
  EXPECT_EQ((std::vector<int32_t>{p[kEntryMaxAngle].value, p[kEntryMainGain].value, p[kEntryFilter].value,
                                  p.mapping[35], p.externalGainMarker}),
            (std::vector<int32_t>{900, 64, 16, -1, -1}));
}

TEST_F(BoardOnPty, WritingMaxAngle900IsInTheTranscript) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  link.parameters[kEntryMaxAngle].value = 900;
  link.WriteParameter(link.parameters[kEntryMaxAngle]);
  EXPECT_EQ(AfterProbe(), (Bytes{'P', 8, 4, 0x00, 0x00, 0x03, 0x84}));
  ASSERT_TRUE(WaitUntil([&] { return TranscriptFile().find("< 50 08 04 00 00 03 84") != std::string::npos; }));
  Control("set 8 0");
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 0);
  link.WriteParameter(link.parameters[kEntryMaxAngle]);
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 900);
}

TEST_F(BoardOnPty, DebugLevelOneSendsNoStatusRequest) {
  RefreshAsTheTickDoes(link);  // found and read
  RefreshAsTheTickDoes(link);  // polled
  ASSERT_EQ(link.linkState, kWheelReady);
  Control("set 16 1");
  link.RefreshParameter(link.parameters[kEntryDebugLevel]);
  ASSERT_EQ(link.parameters[kEntryDebugLevel].value, 1);
  const size_t before = host->Received().size();
  RefreshAsTheTickDoes(link);
  RefreshAsTheTickDoes(link);
  EXPECT_EQ(host->Received().size(), before);
  // The board now reports; the tick reads them.
  Control("send 35 1 5 255 254");
  ASSERT_TRUE(WaitUntil([&] { return link.channel->BytesAvailable() >= 5; }));
  link.ReadBoardReports();
  EXPECT_EQ(link.channel->BytesAvailable(), 0u);
}

TEST_F(BoardOnPty, StatusAndAnUnpluggedBoardFoundAgainWithoutRestart) {
  Control("status 7,8");
  Control("version 1.5");
  RefreshAsTheTickDoes(link);
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Wheel Found");
  RefreshAsTheTickDoes(link);
  EXPECT_EQ(link.linkState, kWheelError);
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Calibration error");
  EXPECT_EQ(view.Text(LinkText::kFirmwareVersion), "1.5");
  RefreshAsTheTickDoes(link);
  ASSERT_EQ(view.Text(LinkText::kStatusLine), "Ready");
  Control("status 8");  // the board starts its script again when plugged in
  Control("drop");
  RefreshAsTheTickDoes(link);
  EXPECT_FALSE(link.channel->IsOpen());
  EXPECT_EQ(link.linkState, kDisconnected);
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Disconnected");
  RefreshAsTheTickDoes(link);  // the port does not exist now
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Disconnected");
  Control("back");
  Control("version 1.6");
  RefreshAsTheTickDoes(link);
  RefreshAsTheTickDoes(link);
  EXPECT_EQ(link.linkState, kWheelReady);
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Ready");
  EXPECT_EQ(view.Text(LinkText::kFirmwareVersion), "1.6");
  EXPECT_EQ(link.parameters[kEntryMaxAngle].value, 900);
}

TEST_F(BoardOnPty, PortVanishingMidExchange) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  Control("late 1000");
  std::thread unplug([&] {
    os::SleepUs(20000);
    host->Control("drop");
  });
  int32_t value = 33;
  EXPECT_FALSE(link.ReadParameter(17, kSizeIndex1, &value));
  EXPECT_EQ(value, 33);
  unplug.join();
  RefreshAsTheTickDoes(link);
  EXPECT_FALSE(link.channel->IsOpen());
  EXPECT_EQ(view.Text(LinkText::kStatusLine), "Disconnected");
}

TEST_F(BoardOnPty, BadRepliesHaveClearOutcomes) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  int32_t value = 11;
  // Late: the read gives up (after 100 ms) and keeps the old value; the stale
  // reply is dropped before the next request. 600 ms leaves a loaded machine
  // room to be slow without the late reply coming in time.
  Control("late 600");
  EXPECT_FALSE(link.ReadParameter(17, kSizeIndex1, &value));
  EXPECT_EQ(value, 11);
  Control("late 0");
  ASSERT_TRUE(WaitUntil([&] { return link.channel->BytesAvailable() >= 1; }));
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 900);
  // Short: two of four bytes.
  Control("short 2");
  EXPECT_FALSE(link.ReadParameter(8, kSizeIndex4, &value));
  EXPECT_EQ(value, 11);
  Control("short 0");
  // Doubled: the copy does not become the next answer.
  Control("double on");
  EXPECT_EQ(link.ReadParameter(17, kSizeIndex1), 64);
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 900);
  Control("double off");
  // A report waiting before a request is not taken for its answer.
  Control("send 35 1 5 255 254");
  ASSERT_TRUE(WaitUntil([&] { return link.channel->BytesAvailable() >= 5; }));
  EXPECT_EQ(link.ReadParameter(17, kSizeIndex1), 64);
}

TEST_F(BoardOnPty, HandshakeOutcomes) {
  struct Case {
    std::vector<std::string> setup;
    int result;
  };
  const std::string longReply = "hello D" + std::string(300, 'u');
  const Case cases[] = {
      {{"noise 20"}, 1},
      {{"hello DDuvarKemol"}, 0},
      {{"noise 10240", longReply}, 0},  // 10 KB of junk, then no "l"
      {{"silent on"}, 0},
  };
  for (const Case& c : cases) {
    for (const std::string& line : c.setup) Control(line);
    EXPECT_EQ(link.ProbeWheel(7 + 256), c.result) << c.setup[0];
    EXPECT_EQ(link.channel->IsOpen(), c.result == 1) << c.setup[0];
    EXPECT_EQ(link.linkState, c.result ? kWheelFound : kConnected);
    link.channel->Close();
    for (const char* reset : {"noise 0", "silent off", "hello DuvarKemol"}) Control(reset);
  }
  EXPECT_EQ(link.wheelPort, 7);
}

TEST_F(BoardOnPty, BoardNoticesTheBootloaderReset) {
  SerialChannel ch;
  ASSERT_EQ(ch.Open(7, 1200), 1);
  ch.Close();
  ASSERT_TRUE(WaitUntil([&] { return host->BootloaderResets() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return TranscriptFile().find("bootloader reset") != std::string::npos; }));
  // And it answers normally afterwards.
  EXPECT_EQ(link.ProbeWheel(7), 1);
}

// A program opens a port and then sets its speed; the board may look in
// between, and still notes the opening at the speed the program set.
TEST_F(BoardOnPty, AnOpeningIsNotedAtTheSpeedSetAfterIt) {
  for (const int baud : {9600, 1200}) {
    const int fd = open((directory + "/COM7").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WaitUntil([&] { return host->Connected(); }));
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfsetspeed(&tio, baud == 1200 ? B1200 : B9600);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
    if (baud != 1200) {
      ASSERT_EQ(write(fd, "x", 1), 1);
    }
    close(fd);
    ASSERT_TRUE(WaitUntil([&] { return !host->Connected(); }));
    const std::string transcript = TranscriptFile();
    EXPECT_NE(transcript.find("opened at " + std::to_string(baud) + " baud\n"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("line set to"), std::string::npos) << transcript;
  }
  EXPECT_EQ(host->BootloaderResets(), 1);
}

TEST_F(BoardOnPty, PortListOffersOnlyPortsThatOpen) {
  StandinHostOptions other;
  other.link = directory + "/COM3";
  StandinHost second(other);
  ASSERT_TRUE(second.Start());
  struct Case {
    uint8_t current;
    bool holdCom3;
    std::vector<std::string> items;
    int selected;
  };
  const Case cases[] = {
      {3, false, {"None", "COM3", "COM7"}, 1}, {7, false, {"None", "COM3", "COM7"}, 2},
      {0, false, {"None", "COM3", "COM7"}, 0},
      {3, true, {"None", "COM7"}, 0},  // in use elsewhere: not offered, "None" selected
      {9, false, {"None", "COM3", "COM7"}, 0},
  };
  for (const Case& c : cases) {
    SerialChannel holder;
    if (c.holdCom3) {
      ASSERT_EQ(holder.Open(3, 115200), 1);
    }
    FakeDialog dialog;
    dialog.combos[1041].push_back({"stale", 99});
    FillComPortList(dialog, 1041, c.current);
    std::vector<std::string> texts;
    for (const auto& item : dialog.combos[1041]) texts.push_back(item.text);
    EXPECT_EQ(texts, c.items) << int(c.current);
    EXPECT_EQ(dialog.combos[1041][0].data, 0);
    EXPECT_EQ(dialog.combos[1041].back().data, 7);
    EXPECT_EQ(dialog.selected[1041], c.selected) << int(c.current);
  }
}

}  // namespace
