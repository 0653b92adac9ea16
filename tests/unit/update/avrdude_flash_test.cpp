// The flasher's argument list proven against the real avrdude: FlashFirmware
// resets the stand-in board (behind a pseudo-terminal) into its bootloader,
// finds the bootloader's new port and runs Debian's avrdude with the list it
// builds, only the paths translated for this machine (Tools\avrdude.conf to
// the system's configuration, COM<n> to the port's pseudo-terminal). The
// bootloader must end up holding the image, and the board must come back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "exec/os.h"
#include "script_fixture.h"
#include "standin_board/standin_host_posix.h"
#include "update/board_backup.h"
#include "update/updater.h"
#include "update_fakes.h"
#include "exec/com_port_paths_posix.h"

namespace scripttest {
namespace {

constexpr char kAvrdude[] = "/usr/bin/avrdude";
constexpr char kAvrdudeConf[] = "/etc/avrdude.conf";

bool IsLink(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// This machine's side of the two outside programs: the lister reports the
// ports whose links exist (the board, the bootloader while it is there); the
// flasher is the real avrdude with Windows paths mapped to this machine's.
class PtyMachine : public ProcessRunner {
 public:
  explicit PtyMachine(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> flasherArgs;

  bool RunCapture(const char* program, const char* const* args, ProcessOutput* output, uint32_t timeoutMs,
                  int* exitCode) override {
    if (std::string(program) == kPortListerProgram) {
      std::string lines;
      if (IsLink(folder_ + "/COM7")) lines += "COM7 - Stand-in board - USB\\VID_2341&PID_8036&MI_00\r\n";
      if (IsLink(folder_ + "/COM9")) lines += "COM9 - Stand-in bootloader - USB\\VID_2341&PID_0036\r\n";
      if (output) output->Append(lines.data(), lines.size());
      if (exitCode) *exitCode = 0;
      return true;
    }
    std::vector<std::string> translated;
    for (const char* const* a = args; *a; ++a) {
      std::string arg = *a;
      flasherArgs.push_back(arg);
      if (arg == "-CTools\\avrdude.conf") arg = std::string("-C") + kAvrdudeConf;
      if (arg.rfind("-PCOM", 0) == 0) arg = "-P" + folder_ + "/" + arg.substr(2);
      translated.push_back(arg);
    }
    std::vector<const char*> list;
    for (const std::string& arg : translated) list.push_back(arg.c_str());
    list.push_back(nullptr);
    // Not captured, as in the program: avrdude's report goes to the test's output.
    return ProcessRunner::RunCapture(kAvrdude, list.data(), output, timeoutMs, exitCode);
  }
  RunningProcess* Start(const char* program, const char* const* args, bool) override {
    return StartByRunCapture(*this, program, args, 180000, 256 * 1024);
  }
  bool CanStart(const char*) override { return true; }

 private:
  std::string folder_;
};

// Intel HEX of the bytes at address 0.
std::string HexOf(const std::vector<uint8_t>& data) {
  std::string text;
  char line[64];
  for (size_t at = 0; at < data.size(); at += 16) {
    const size_t n = std::min<size_t>(16, data.size() - at);
    uint8_t sum = static_cast<uint8_t>(n + (at >> 8) + (at & 0xFF));
    std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n), static_cast<unsigned>(at));
    text += line;
    for (size_t i = 0; i < n; ++i) {
      std::snprintf(line, sizeof line, "%02X", data[at + i]);
      text += line;
      sum = static_cast<uint8_t>(sum + data[at + i]);
    }
    std::snprintf(line, sizeof line, "%02X\r\n", static_cast<uint8_t>(-sum));
    text += line;
  }
  return text + ":00000001FF\r\n";
}

bool WaitFor(const std::function<bool()>& done, uint64_t ms) {
  const uint64_t end = os::MonotonicUs() + ms * 1000;
  while (!done()) {
    if (os::MonotonicUs() >= end) return false;
    os::SleepUs(5000);
  }
  return true;
}

class AvrdudeFlashTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    if (!Exists(kAvrdude) || !Exists(kAvrdudeConf)) GTEST_SKIP() << "avrdude is not installed (scripts/deps.sh)";
    SetComPortDirectory(dir_.c_str());
    StandinHostOptions options;
    options.link = Path("COM7");
    options.bootloaderLink = Path("COM9");
    options.transcript = Path("transcript.txt");
    options.flashedVersion = 0x0106;
    host = std::make_unique<StandinHost>(options);
    ASSERT_TRUE(host->Start());
    machine = std::make_unique<PtyMachine>(dir_);
    updater.view = &view;
    updater.processes = machine.get();
    link.wheelPort = 7;
    link.statusHold = false;
    settings.resetDelay = 1000;
    mkdir("Tools", 0700);
    WriteFile(Path("Tools/avrdude.conf"), "# stands for the system's\n");
  }
  void TearDown() override {
    link.channel->Close();
    host.reset();
    SetComPortDirectory(nullptr);
    ScriptTest::TearDown();
  }

  std::unique_ptr<StandinHost> host;
  std::unique_ptr<PtyMachine> machine;
  WheelLink link;
  Settings settings;
  Updater updater{link, settings};
  RecordingUpdateView view;
};

TEST_F(AvrdudeFlashTest, TheRealFlasherWritesTheImageTheProgramGivesIt) {
  host->WithBoard([](StandinBoard& board) { board.SetParameter(17, 100); });
  ASSERT_EQ(link.ProbeWheel(7), 1);
  std::vector<uint8_t> program(3000);
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i * 37 + 11);
  const std::string image = HexOf(program);

  const bool flashed = updater.FlashFirmware("wheel_1_6.hex", image.data(), image.size());
  ASSERT_TRUE(flashed) << "the stand-in's transcript:\n" << ReadFile(Path("transcript.txt"));
  EXPECT_EQ(machine->flasherArgs,
            (std::vector<std::string>{"avrdude", "-CTools\\avrdude.conf", "-v", "-patmega32u4", "-cavr109", "-PCOM9",
                                      "-b57600", "-D", "-Uflash:w:wheel_1_6.hex:i"}));
  const std::vector<uint8_t> flash = host->BootloaderFlash();
  EXPECT_TRUE(std::equal(program.begin(), program.end(), flash.begin())) << "the bootloader holds the image";
  EXPECT_EQ(flash[program.size() + 100], 0xFF);
  EXPECT_EQ(host->BootloaderResets(), 1);

  // The board comes back on its own port with its defaults; the program's
  // refresh finds it, and the settings are offered back.
  ASSERT_TRUE(WaitFor([&] { return !host->InBootloader() && IsLink(Path("COM7")); }, 5000));
  EXPECT_FALSE(IsLink(Path("COM9")));
  ASSERT_EQ(link.ProbeWheel(7), 1);
  view.answers = {true};
  updater.OfferRestore();
  EXPECT_EQ(view.Texts(), std::vector<std::string>{kRestoreQuestion});
  int32_t mainGain = 0;
  host->WithBoard([&](StandinBoard& board) { mainGain = board.Parameter(17); });
  EXPECT_EQ(mainGain, 100);
}

// The window's way, tick by tick on the system clock: from the user's Yes
// (the image in hand) to the board back with its settings, with the real
// avrdude on the stand-in's bootloader. Prints how long it took.
TEST_F(AvrdudeFlashTest, FromYesToTheBoardBackWithItsSettings) {
  host->WithBoard([](StandinBoard& board) { board.SetParameter(17, 100); });
  ASSERT_EQ(link.ProbeWheel(7), 1);
  std::vector<uint8_t> program(28672);
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i * 13 + 5);
  const std::string image = HexOf(program);
  WriteFile(Path("picked.hex"), image);
  view.answers = {true};
  const uint64_t start = os::MonotonicUs();
  ASSERT_TRUE(updater.StartFlashFromFile(Path("picked.hex").c_str()));
  ASSERT_TRUE(WaitFor(
      [&] {
        updater.Tick();
        link.ContinueProbe();
        return !updater.Flashing();
      },
      60000));
  const uint64_t ms = (os::MonotonicUs() - start) / 1000;
  std::printf("a real flash of 28 KiB, from Yes to the board back with its settings: %llu ms\n",
              static_cast<unsigned long long>(ms));
  EXPECT_EQ(view.Texts(), std::vector<std::string>{kRestoreQuestion});
  int32_t mainGain = 0;
  host->WithBoard([&](StandinBoard& board) { mainGain = board.Parameter(17); });
  EXPECT_EQ(mainGain, 100);
  EXPECT_EQ(link.firmwareVersion, 0u) << "the next status refresh reads the new version";
}

}  // namespace
}  // namespace scripttest
