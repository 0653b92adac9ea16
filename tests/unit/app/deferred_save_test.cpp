// config.ini and GameProfiles.ini are written a short while after the last
// change while the program runs, never on every step, a failed write later.
#include "app/deferred_save.h"
#include "profiles_fixture.h"

namespace profilestest {
namespace {

TEST(DeferredWrite, OnceTheChangesStopAndAgainLaterWhenAWriteFailed) {
  DeferredWrite write;
  write.Written(1);
  uint64_t now = 1000;
  for (uint64_t value = 2; now < 6000; now += 33, ++value) EXPECT_FALSE(write.Due(value, now)) << "a drag";
  EXPECT_FALSE(write.Due(7, now));
  EXPECT_FALSE(write.Due(7, now + kSaveDelayMs - 1));
  ASSERT_TRUE(write.Due(7, now + kSaveDelayMs));
  write.Done(false, now += kSaveDelayMs);
  EXPECT_FALSE(write.Due(7, now + kSaveRetryMs - 1));
  ASSERT_TRUE(write.Due(7, now + kSaveRetryMs));
  write.Done(true, now += kSaveRetryMs);
  EXPECT_FALSE(write.Due(7, now + 60000)) << "written once";
}

TEST_F(ProfilesTest, ANewProfileASliderAndAnOptionReachTheDiskWithinSeconds) {
  uint64_t now = 1000;
  auto run = [&](uint64_t ms) {
    for (const uint64_t end = now + ms; now < end; now += 33) panel.SaveChanges(now);
  };
  WriteFile(Path("config.ini"), "[Config]\r\nFLAGS=0\r\n");
  panel.LoadSettings();
  panel.profiles.FillProfileList();
  ASSERT_NE(panel.profiles.CreateProfile("Rally", "rally.exe"), nullptr);
  panel.link[kEntryMainGain].value = 64;
  panel.profiles.StoreIntoProfile(panel.profiles.CurrentProfile());  // what a slider step does
  run(1900);
  EXPECT_EQ(ReadFile(Path("config.ini")), "[Config]\r\nFLAGS=0\r\n") << "what was read is not written again";
  EXPECT_FALSE(std::filesystem::exists(Path("GameProfiles.ini"))) << "not at once";
  panel.settings.flags |= Settings::kFlagDetectGame;
  run(2200);
  EXPECT_NE(ReadFile(Path("GameProfiles.ini")).find("PROFILE=Rally,rally.exe,"), std::string::npos);
  EXPECT_NE(ReadFile(Path("GameProfiles.ini")).find("PROFILE=Default,NoLife.exe,0,900,64,"), std::string::npos);
  EXPECT_NE(ReadFile(Path("config.ini")).find("FLAGS=2\r\n"), std::string::npos);
}

}  // namespace
}  // namespace profilestest
