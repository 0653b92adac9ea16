// Executable names compare as Windows compares file names: case does not
// matter, for any letter; everything else does.
#include <gtest/gtest.h>

#include <string>

#include "profiles/exe_name_key.h"

namespace {

std::string Key(const char* name) {
  char key[kExeNameKeyMax];
  EXPECT_TRUE(ExeNameKey(name, key, sizeof key)) << name;
  return key;
}

TEST(ExeNameKey, SameFileWhateverTheCase) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"iracingsim64dx11.exe", "iRacingSim64DX11.exe", true},
      {"GAME.EXE", "game.exe", true},
      {"\xC3\xA9t\xC3\xA9.exe", "\xC3\x89T\xC3\x89.EXE", true},     // été / ÉTÉ
      {"\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0.exe", "\xD0\x98\xD0\x93\xD0\xA0\xD0\x90.exe", true},  // игра / ИГРА
      {"stra\xC3\x9F" "e.exe", "STRASSE.EXE", false},  // one letter for one letter, as file names
      {"game.exe", "game.exe ", false},
      {"game.exe", "game.ex", false},
      {"game_1.exe", "game-1.exe", false},
      {"C:\\games\\game.exe", "game.exe", false},
      {"a\xFF.exe", "A\xFF.EXE", true},  // a byte that is no UTF-8 stays as it is
      {"a\xFF.exe", "a\xFE.exe", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Key(c.a) == Key(c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST(ExeNameKey, AKeyThatDoesNotFitIsRefusedAndEmpty) {
  char key[8];
  EXPECT_FALSE(ExeNameKey("longname.exe", key, sizeof key));
  EXPECT_STREQ(key, "");
  EXPECT_TRUE(ExeNameKey("abc.exe", key, sizeof key));
  EXPECT_STREQ(key, "ABC.EXE");
}

}  // namespace
