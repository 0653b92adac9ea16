#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <vector>

#include "app/control_panel.h"
#include "exec/memory.h"
#include "profiles/settings.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

using SettingsTest = ScriptTest;

const char kExample[] =
    "[Config]\r\n"
    "FLAGS=3\r\n"
    "WINDOW_DURATION=10\r\n"
    "DEVICE_COM_PORT=4\r\n"
    "SM_COM_PORT=0\r\n"
    "RESET_DELAY=2000\r\n"
    "TORQUE_BW=0\r\n"
    "GAME_PROFILE_ID=1\r\n"
    "USED_DEVICE_GUID=4026531840,4660,65535,0,1,2,3,4,5,6,255\r\n"
    "\r\n";

void FillExample(ControlPanel& panel) {
  panel.settings.flags = 3;
  panel.link.wheelPort = 4;
  panel.profiles.gameProfileId = 1;
  panel.input.table.usedDevice = DeviceGuid{0xF0000000u, 0x1234, 0xFFFF, {0, 1, 2, 3, 4, 5, 6, 255}};
}

bool SameGuid(const DeviceGuid& a, const DeviceGuid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && memcmp(a.data4, b.data4, 8) == 0;
}

TEST_F(SettingsTest, SaveWritesTheExampleAndLoadReadsItBack) {
  ControlPanel panel;
  EXPECT_FALSE(Exists(Path("config.ini")));

  FillExample(panel);
  panel.SaveSettings();
  EXPECT_EQ(ReadFile(Path("config.ini")), kExample);

  ControlPanel loaded;
  loaded.LoadSettings();
  EXPECT_EQ(loaded.settings.flags, 3u);
  EXPECT_EQ(loaded.link.wheelPort, 4);
  EXPECT_EQ(loaded.profiles.gameProfileId, 1);
  EXPECT_TRUE(SameGuid(loaded.settings.usedDeviceGuid, panel.settings.usedDeviceGuid));
  EXPECT_TRUE(SameGuid(loaded.input.table.usedDevice, panel.input.table.usedDevice)) << "the input's choice";
}

TEST_F(SettingsTest, EveryKeyIsRead) {
  WriteFile(Path("config.ini"),
            "[config]\r\nflags=2\r\nWINDOW_DURATION=250\r\nDEVICE_COM_PORT=260\r\nSM_COM_PORT=7\r\n"
            "RESET_DELAY=3500\r\nTORQUE_BW=11\r\nGAME_PROFILE_ID=5\r\nUNKNOWN=1,2,3\r\n"
            "USED_DEVICE_GUID=-214748364,1,2,3,4,5,6,7,8,9,10\r\n");
  ControlPanel panel;
  panel.LoadSettings();
  // The wheel's port is the low 8 bits of 260.
  const Settings& s = panel.settings;
  EXPECT_EQ((std::vector<int64_t>{s.flags, s.windowDuration, panel.link.wheelPort, s.smPort, s.resetDelay,
                                  s.torqueBandwidth, panel.profiles.gameProfileId}),
            (std::vector<int64_t>{2, 250, 4, 7, 3500, 11, 5}));
  EXPECT_TRUE(SameGuid(panel.settings.usedDeviceGuid,
                       DeviceGuid{static_cast<uint32_t>(-214748364), 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}}));
}

// Written signed, a first field above 2^31 - 1 took a minus sign and ten
// digits, which the number rule reads as 0: the chosen controller was
// forgotten at every start. Written unsigned it comes back; what older
// files hold still reads the same.
TEST_F(SettingsTest, TheControllerGuidReadsBackWhole) {
  const uint32_t firsts[] = {0x80000000u, 0xFFFFFFFFu, 0xF0000000u, 0x7FFFFFFFu, 0u, 1u};
  for (uint32_t first : firsts) {
    ControlPanel panel;
    panel.input.table.usedDevice = DeviceGuid{first, 9, 9, {9, 9, 9, 9, 9, 9, 9, 9}};
    panel.SaveSettings();
    const std::string line = "USED_DEVICE_GUID=" + std::to_string(first) + ",9,";
    EXPECT_NE(ReadFile(Path("config.ini")).find(line), std::string::npos) << first;
    ControlPanel loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.settings.usedDeviceGuid.data1, first);
    EXPECT_EQ(loaded.settings.usedDeviceGuid.data2, 9);
  }
  const struct {
    const char* written;
    uint32_t read;
  } older[] = {{"-268435456", 0xF0000000u}, {"-1", 0xFFFFFFFFu}, {"-2147483648", 0u}};
  for (const auto& old : older) {
    WriteFile(Path("config.ini"), std::string("[Config]\r\nUSED_DEVICE_GUID=") + old.written + ",1,2\r\n");
    ControlPanel loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.settings.usedDeviceGuid.data1, old.read) << old.written;
  }
}

// A file that is there but cannot be read at start (here: no memory left to
// read it into) is copied aside before the exit may replace it; one that
// cannot even be copied is not replaced at all.
TEST_F(SettingsTest, AFileThatCouldNotBeReadIsKeptBeforeTheExitReplacesIt) {
  struct Case {
    const char* file;
    std::string text;
  };
  const Case cases[] = {
      {"config.ini", std::string(kExample) + "// notes\r\n" + std::string(30000, ' ') + "\r\n"},
      {"GameProfiles.ini", "[GameProfiles]\r\nPROFILE=Mine,mine.exe,1,540,1,2,3,4,5,6,7,8,9,10,11,12,13\r\n" +
                               std::string(30000, ' ') + "\r\n"},
  };
  for (const Case& c : cases) {
    WriteFile(Path(c.file), c.text);
    void* hog = AllocMem(0, AvailPoolMem() - 8192);
    ASSERT_NE(hog, nullptr);
    ControlPanel panel;
    panel.LoadSettings();
    panel.profiles.LoadProfiles();
    FreeMem(hog);
    EXPECT_EQ(AssertRecorder::Count(), 0u) << c.file << ": a file too big is logged, not boxed";
    EXPECT_EQ(ReadFile(Path(std::string(c.file) + ".bak")), c.text) << c.file;
    EXPECT_TRUE(panel.SaveSettings());
    panel.profiles.SaveProfiles();
    panel.profiles.FreeProfiles();
    EXPECT_EQ(ReadFile(Path(std::string(c.file) + ".bak")), c.text) << c.file << ": the copy outlives the save";
  }

  // A folder where config.ini should be: not readable, not copyable.
  std::remove(Path("config.ini").c_str());
  std::remove(Path("config.ini.bak").c_str());
  ASSERT_EQ(mkdir(Path("config.ini").c_str(), 0755), 0);
  ControlPanel panel;
  panel.LoadSettings();
  EXPECT_FALSE(panel.SaveSettings());
  EXPECT_FALSE(Exists(Path("config.ini.bak")));
  EXPECT_EQ(rmdir(Path("config.ini").c_str()), 0) << "still the folder it was";
}

TEST_F(SettingsTest, MissingValuesGiveZeroAndAbsentKeysKeepDefaults) {
  WriteFile(Path("config.ini"), "[Config]\r\nTORQUE_BW=4\r\nUSED_DEVICE_GUID=1,2\r\n");
  ControlPanel panel;
  panel.settings.usedDeviceGuid.data4[7] = 99;
  panel.LoadSettings();
  EXPECT_EQ(panel.settings.torqueBandwidth, 4);
  EXPECT_EQ(panel.settings.windowDuration, 10);
  EXPECT_EQ(panel.settings.resetDelay, 2000u);
  EXPECT_TRUE(SameGuid(panel.settings.usedDeviceGuid, DeviceGuid{1, 2, 0, {0, 0, 0, 0, 0, 0, 0, 0}}));
}

TEST_F(SettingsTest, SaveKeepsOtherSectionsByteForByte) {
  const std::string before = "// my notes\r\n[Window]\r\nX=\"a b\" , 'c'\r\n\r\n";
  const std::string after = "[Extra]\r\nY=1\r\n\x1a";
  WriteFile(Path("config.ini"), before + "[Config]\r\nFLAGS=1\r\nOLD=2\r\n\r\n" + after);
  ControlPanel panel;
  panel.LoadSettings();
  FillExample(panel);
  panel.SaveSettings();
  EXPECT_EQ(ReadFile(Path("config.ini")), before + kExample + after);
}

TEST_F(SettingsTest, BadFilesGiveDefaultsAndCleanFailures) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string junk(random() % 400, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    WriteFile(Path("config.ini"), (round % 2 ? "[Config]\r\n" : "") + junk);
    ControlPanel panel;
    panel.LoadSettings();
    FillExample(panel);
    panel.SaveSettings();
    ControlPanel loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.settings.flags, 3u) << round;
    EXPECT_TRUE(SameGuid(loaded.settings.usedDeviceGuid, panel.settings.usedDeviceGuid)) << round;
  }

  // Read-only: the save is refused and the file stays as it was.
  WriteFile(Path("config.ini"), "[Config]\r\nFLAGS=1\r\n");
  ASSERT_EQ(chmod(Path("config.ini").c_str(), 0444), 0);
  ControlPanel panel;
  panel.LoadSettings();
  EXPECT_EQ(panel.settings.flags, 1u);
  panel.settings.flags = 2;
  panel.SaveSettings();
  EXPECT_EQ(ReadFile(Path("config.ini")), "[Config]\r\nFLAGS=1\r\n");
  ASSERT_EQ(unlink(Path("config.ini").c_str()), 0);

  // A folder where the file should be.
  ASSERT_EQ(mkdir(Path("config.ini").c_str(), 0755), 0);
  ControlPanel other;
  other.LoadSettings();
  EXPECT_EQ(other.settings.flags, 0u);
  other.SaveSettings();
  EXPECT_TRUE(Exists(Path("config.ini")));
  EXPECT_FALSE(Exists(Path("config.ini.tmp")));
}

// Memory that runs out in the middle of a save: the file is then the old one
// or the whole new section, never a section with keys missing.
TEST_F(SettingsTest, ASaveShortOfMemoryWritesAllOrNothing) {
  const std::string old = "[Config]\r\nFLAGS=1\r\nWINDOW_DURATION=7\r\n\r\n";
  WriteFile(Path("config.ini"), old);
  ControlPanel panel;
  FillExample(panel);
  // The pool taken down to nothing, then given back one block at a time.
  std::vector<void*> held;
  for (size_t size : {size_t{1} << 20, size_t{4096}, size_t{16}}) {
    while (void* block = AllocMem(0, size)) held.push_back(block);
  }
  bool saved = false;
  while (!saved && !held.empty()) {
    FreeMem(held.back());
    held.pop_back();
    saved = panel.SaveSettings();
    EXPECT_EQ(ReadFile(Path("config.ini")), saved ? std::string(kExample) : old)
        << held.size() << " blocks still held";
    if (HasFailure()) break;
  }
  for (void* block : held) FreeMem(block);
  EXPECT_TRUE(saved);
  EXPECT_TRUE(AssertRecorder::Saw("AllocMem: Could not allocate memory\n")) << "the shortage was reported";
}

TEST_F(SettingsTest, TheUpdateServerComesFromSectionUpdate) {
  const struct {
    const char* update;  // the [Update] section, "" for none
    const char* server;
  } cases[] = {
      {"", kDefaultUpdateServer},
      {"[Update]\r\nSERVER=127.0.0.1\r\n\r\n", "127.0.0.1"},
      {"[update]\r\nserver = updates.example.org\r\n\r\n", "updates.example.org"},
      {"[Update]\r\nSERVER=\"http://x/\"\r\n\r\n", kDefaultUpdateServer},  // not a host name
      {"[Update]\r\nSERVER=host:8080\r\n\r\n", kDefaultUpdateServer},
      {"[Update]\r\nSERVER=\"https://localhost:8443\"\r\n\r\n", "https://localhost:8443"},
      {"[Update]\r\nSERVER=https://localhost\r\n\r\n", kDefaultUpdateServer},  // "//" starts a comment
      {"[Update]\r\nSERVER=\r\n\r\n", kDefaultUpdateServer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.update);
    const std::string file = std::string(kExample) + c.update;
    WriteFile(Path("config.ini"), file);
    ControlPanel panel;
    panel.LoadSettings();
    EXPECT_STREQ(panel.settings.updateServer, c.server);
    panel.SaveSettings();
    EXPECT_EQ(ReadFile(Path("config.ini")), file) << "the save keeps [Update] as the user wrote it";
  }
}

}  // namespace
}  // namespace scripttest
