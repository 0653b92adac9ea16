// config.ini and GameProfiles.ini are written a short while after the last
// change while the program runs, not only at exit, and never on every step.
#include <filesystem>
#include <string>

#include "app/app_tick.h"
#include "app/deferred_save.h"
#include "profiles_fixture.h"

namespace profilestest {
namespace {

TEST(DeferredWrite, WritesOnceTheChangesHaveStoppedForTwoSeconds) {
  DeferredWrite write;
  write.Written(1);
  EXPECT_FALSE(write.Due(1, 5000)) << "nothing changed";
  // A slider dragged for 5 s: a new value every tick.
  uint64_t now = 10000;
  for (uint64_t value = 2; now < 15000; now += 33, ++value) EXPECT_FALSE(write.Due(value, now));
  EXPECT_FALSE(write.Due(999, now));  // the drag's last step
  const uint64_t last = now;
  EXPECT_FALSE(write.Due(999, last + kSaveDelayMs - 1));
  ASSERT_TRUE(write.Due(999, last + kSaveDelayMs));
  write.Done(true, last + kSaveDelayMs);
  EXPECT_FALSE(write.Due(999, last + 60000)) << "written once";

  // Back to what was written: nothing to write.
  EXPECT_FALSE(write.Due(5, 70000));
  EXPECT_FALSE(write.Due(999, 71000));
  EXPECT_FALSE(write.Due(999, 80000));

  // A write that failed is tried again later, or after the next change.
  EXPECT_FALSE(write.Due(7, 90000));
  ASSERT_TRUE(write.Due(7, 92000));
  write.Done(false, 92000);
  EXPECT_FALSE(write.Due(7, 92000 + kSaveRetryMs - 1));
  EXPECT_TRUE(write.Due(7, 92000 + kSaveRetryMs));
  write.Done(false, 92000 + kSaveRetryMs);
  EXPECT_FALSE(write.Due(8, 130000));
  EXPECT_TRUE(write.Due(8, 130000 + kSaveDelayMs));
}

class SaveChanges : public ProfilesTest {
 protected:
  // Ticks every 33 ms for ms milliseconds.
  void Run(uint64_t ms) {
    for (const uint64_t end = now + ms; now < end; now += 33) panel.SaveChanges(now);
  }
  std::string File(const char* name) { return ReadFile(Path(name)); }
  uint64_t now = 1000;
};

TEST_F(SaveChanges, ANewProfileASliderAndAnOptionReachTheDiskWithinSeconds) {
  WriteFile(Path("config.ini"), "[Config]\r\nFLAGS=0\r\n");
  WriteFile(Path("GameProfiles.ini"), "[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n");
  panel.LoadSettings();
  panel.profiles.LoadProfiles();
  panel.profiles.FillProfileList();
  const std::string config = File("config.ini");
  const std::string profiles = File("GameProfiles.ini");
  Run(10000);
  EXPECT_EQ(File("config.ini"), config) << "what was read is not written again";
  EXPECT_EQ(File("GameProfiles.ini"), profiles);

  ASSERT_NE(panel.profiles.CreateProfile("Rally", "rally.exe"), nullptr);
  Run(1900);
  EXPECT_EQ(File("GameProfiles.ini"), profiles) << "not at once";
  Run(300);
  EXPECT_NE(File("GameProfiles.ini").find("PROFILE=Rally,rally.exe,"), std::string::npos);

  panel.link[kEntryMainGain].value = 64;
  panel.profiles.StoreIntoProfile(panel.profiles.CurrentProfile());  // what a slider step does
  Run(2100);
  EXPECT_NE(File("GameProfiles.ini").find("PROFILE=Default,NoLife.exe,0,900,64,"), std::string::npos);

  panel.settings.flags |= Settings::kFlagDetectGame;
  panel.profiles.SelectProfile(1);
  Run(2100);
  EXPECT_NE(File("config.ini").find("FLAGS=2\r\n"), std::string::npos) << File("config.ini");
  EXPECT_NE(File("config.ini").find("GAME_PROFILE_ID=1\r\n"), std::string::npos);
}

TEST_F(SaveChanges, AFileThatCouldNotBeReadIsLeftAlone) {
  panel.profiles.FillProfileList();
  panel.profiles.leaveFileAlone = true;
  panel.settings.leaveFileAlone = true;
  panel.settings.flags = Settings::kFlagAutoUpdate;
  ASSERT_NE(panel.profiles.CreateProfile("Rally", "rally.exe"), nullptr);
  Run(5000);
  EXPECT_FALSE(std::filesystem::exists(Path("GameProfiles.ini")));
  EXPECT_FALSE(std::filesystem::exists(Path("config.ini")));
}

TEST(SaveChangesTick, RunsEveryTickAlsoWhileTheStatusIsHeld) {
  static uint64_t seen = 0;
  TickHooks hooks;
  hooks.saveChanges = [](uint64_t now) { seen = now; };
  TickTimes times;
  RunTick(&times, hooks, 4242, true, false);
  EXPECT_EQ(seen, 4242u);
}

}  // namespace
}  // namespace profilestest
