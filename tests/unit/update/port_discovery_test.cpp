// Port discovery: the lister's lines read the way the program relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec_env.h"
#include "update/port_discovery.h"
#include "update_fakes.h"

namespace {

TEST(PortDiscovery, TheIdsOnALine) {
  const std::string far(130, ' ');
  const struct {
    std::string line;
    uint16_t vendor, product;
    uint8_t port;
  } cases[] = {
      {"COM12 - Arduino Leonardo - USB\\VID_2341&PID_8036\\6&1A2B", 0x2341, 0x8036, 12},  // not 1
      {"COM1 - Communications Port - ACPI\\PNP0501", 0x2341, 0x8036, 0},
      {"USB\\VID_2341&PID_8036 COM7", 0x2341, 0x8036, 0},  // markers before the port name
      {"COM7 vid_2341&pid_8036", 0x2341, 0x8036, 0},       // markers are case-sensitive
      {"COM7 VID_abcd&PID_ef01", 0xABCD, 0xEF01, 7},       // digits are not
      {"COM3 - USB Serial Port - FTDIBUS\\VID_0403+PID_6001+A1B2C3", 0x0403, 0x6001, 3},
      {"COM5 VID_23410&PID_8036", 0x2341, 0x8036, 0},  // a longer run is another id
      {"COM5 VID_&PID_8036", 0x0000, 0x8036, 5},       // no digits read as 0
      {"COM7" + far + "VID_2341&PID_8036", 0x2341, 0x8036, 0},  // markers past 128 characters
      {"COM128 VID_2341&PID_8036", 0x2341, 0x8036, 128},
      {"COM129 VID_2341&PID_8036", 0x2341, 0x8036, 12},  // 129 is never tried; "COM12" is there
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortWithIds(c.line.data(), c.line.size(), c.vendor, c.product), c.port) << c.line;
  }
}

TEST(PortDiscovery, ThePortOfALine) {
  const struct {
    const char* line;
    uint8_t port;
  } cases[] = {
      {"COM7 - Arduino Leonardo - USB\\VID_2341&PID_8036", 7},
      {"  xCOM15y", 15},
      {"COM255", 255},
      {"COM", 0},     // no number: not a port (it could pass for a new one)
      {"COM0", 0},
      {"COM256", 0},  // no port has that number
      {"COM1234", 0},
      {"LPT1 - Printer Port", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FirstPortOnLine(c.line, std::strlen(c.line)), c.port) << c.line;
}

TEST(PortDiscovery, LinesAreReadAsTextIn127CharacterPieces) {
  const struct {
    std::string output;
    std::vector<std::string> lines;
  } cases[] = {
      {"COM1\r\nCOM2\n", {"COM1", "COM2"}}, {"COM1\nCOM2", {"COM1", "COM2"}},
      {"\r\n\nCOM3\r\n", {"", "", "COM3"}},
      {std::string(200, 'x') + "\n", {std::string(127, 'x'), std::string(73, 'x')}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    ForEachListerLine(
        c.output.data(), c.output.size(),
        [](const char* text, size_t length, void* context) {
          static_cast<std::vector<std::string>*>(context)->push_back(std::string(text, length));
          return true;
        },
        &lines);
    EXPECT_EQ(lines, c.lines);
  }
}

class PortListerTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_TRUE(Start(0));
  }
  FakeProcesses processes;
  RecordingUpdateView view;
};

TEST_F(PortListerTest, FindsTheDeviceAndLogsWhatItRead) {
  processes.play = [](const FakeProcesses::Run&) {
    FakeProcesses::Result r;
    r.output =
        "COM1 - Communications Port - ACPI\\PNP0501\\0\r\n"
        "COM4 - USB Serial Port - FTDIBUS\\VID_0403+PID_6001+A1\r\n"
        "COM12 - Arduino Leonardo - USB\\VID_2341&PID_8036\\6&1A2B\r\n";
    return r;
  };
  EXPECT_EQ(FindComPortFromIds(processes, &view, kWheelVendorId, kWheelProductId), 12);
  EXPECT_EQ(FindComPortFromIds(processes, &view, kRs485VendorId, kRs485ProductId), 4);
  EXPECT_EQ(FindComPortFromIds(processes, &view, 0x1234, 0x5678), 0);
  ASSERT_EQ(processes.runs.size(), 3u);
  EXPECT_EQ(processes.runs[0].program, "Tools\\listComPorts.exe");
  EXPECT_EQ(processes.runs[0].args, std::vector<std::string>{"listComPorts.exe"});
  EXPECT_TRUE(view.shown.empty());
  const std::string log = ReadFile(dir_ + "/Log.txt");
  EXPECT_NE(log.find("FindComPortFromIds : VID_2341 / PID_8036\n"), std::string::npos) << log;
  EXPECT_NE(log.find("COM4 - USB Serial Port - FTDIBUS\\VID_0403+PID_6001+A1\n"), std::string::npos) << log;
}

TEST_F(PortListerTest, AMissingListerSaysSoAndFindsNothing) {
  processes.play = [](const FakeProcesses::Run&) {
    FakeProcesses::Result r;
    r.started = false;
    return r;
  };
  PortList list;
  list.count = 3;
  EXPECT_EQ(FindComPortFromIds(processes, &view, kWheelVendorId, kWheelProductId), 0);
  EXPECT_FALSE(ListComPorts(processes, &view, &list));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{kPortListerMissing, kPortListerMissing}));
}

TEST_F(PortListerTest, ListsEveryPortInTheListersOrder) {
  processes.play = [](const FakeProcesses::Run&) {
    FakeProcesses::Result r;
    r.output = "no port here\nCOM\n";
    for (int port = 20; port > 0; --port) r.output += "COM" + std::to_string(port) + " - a port\n";
    return r;
  };
  PortList list;
  ASSERT_TRUE(ListComPorts(processes, &view, &list));
  ASSERT_EQ(list.count, 20) << "a PC with many ports does not hide the last ones";
  EXPECT_EQ(list.ports[0], 20);
  EXPECT_EQ(list.ports[19], 1);
  EXPECT_EQ(list.bootloaderPort, 0);
}

// The real process seam natively: the stand-in flasher as the program.
TEST_F(PortListerTest, SystemProcessesRunAProgramAndReportItsExitCode) {
  const std::string flasher = std::string(TS_BINARY_DIR) + "/test_flasher";
  const std::string record = dir_ + "/record";
  setenv("TS_FLASHER_RECORD", record.c_str(), 1);
  setenv("TS_FLASHER_EXIT", "3", 1);
  const char* const args[] = {"avrdude", "-PCOM9", "two words", nullptr};
  char buffer[256];
  ProcessOutput output(buffer, sizeof buffer);
  int exitCode = 0;
  ASSERT_TRUE(SystemProcesses().RunCapture(flasher.c_str(), args, &output, 10000, &exitCode));
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(ReadFile(record + ".args"), "avrdude\n-PCOM9\ntwo words\n");
  EXPECT_NE(std::string(output.Data(), output.Size()).find("exit code 3"), std::string::npos);
  EXPECT_FALSE(SystemProcesses().RunCapture((dir_ + "/no_such_program").c_str(), args, nullptr, 1000, &exitCode));
  // A program that does not end is ended at its bound and reports -1.
  const char* const sleeper[] = {"sleep", "30", nullptr};
  const uint64_t start = os::MonotonicUs();
  ASSERT_TRUE(SystemProcesses().RunCapture("/bin/sleep", sleeper, &output, 200, &exitCode));
  EXPECT_EQ(exitCode, -1);
  EXPECT_LT(os::MonotonicUs() - start, 10000000u) << "not the 30 s the program wanted";
  unsetenv("TS_FLASHER_RECORD");
  unsetenv("TS_FLASHER_EXIT");
}

}  // namespace
