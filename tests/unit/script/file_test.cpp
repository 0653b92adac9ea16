#include <gtest/gtest.h>

#include <string>

#include "exec/file.h"
#include "exec/memory.h"
#include "exec_env.h"

namespace {

class FileTest : public ExecEnv {};

TEST_F(FileTest, StandardFoldersGetOneSeparator) {
  ASSERT_TRUE(Start(0));
  struct Case {
    const char* base;
    const char* wantBase;
    const char* wantSystem;
  } cases[] = {
      {"C:\\Games\\Tillerset", "C:\\Games\\Tillerset\\", "C:\\Games\\Tillerset\\System\\"},
      {"C:\\Games\\Tillerset\\", "C:\\Games\\Tillerset\\", "C:\\Games\\Tillerset\\System\\"},
      {"/opt/ts/", "/opt/ts/", "/opt/ts/System\\"},
      {"", "\\", "\\System\\"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetBaseDirectory(c.base)) << c.base;
    EXPECT_STREQ(BaseDirectory(), c.wantBase);
    EXPECT_STREQ(SystemDirectory(), c.wantSystem);
  }
}

TEST_F(FileTest, ResourceAndSettingsPaths) {
  ASSERT_TRUE(Start(0));
  struct Case {
    const char* root;
    const char* sub;
    const char* want;
  } cases[] = {
      {"C:\\ts\\System\\", "Scripts", "C:\\ts\\System\\Resources\\Scripts\\"},
      {"C:\\ts\\System\\", "Scripts\\", "C:\\ts\\System\\Resources\\Scripts\\"},
      {"C:\\ts\\System", "Scripts/", "C:\\ts\\System\\Resources\\Scripts/"},
      {"C:\\ts\\System\\", nullptr, "C:\\ts\\System\\Resources\\"},
      {"C:\\ts\\System\\", "", "C:\\ts\\System\\Resources\\"},
  };
  for (const Case& c : cases) EXPECT_STREQ(ResourcePath(c.root, c.sub), c.want) << c.root;
  EXPECT_STREQ(SettingsFilePath("C:\\ts\\Scripts"), "C:\\ts\\Scripts\\system.ini");
  EXPECT_STREQ(SettingsFilePath("C:\\ts\\Scripts\\"), "C:\\ts\\Scripts\\system.ini");
  // The runtime's own Script folder under the configured base.
  EXPECT_EQ(std::string(ResourcePath(SystemDirectory(), "Scripts")), dir_ + "/System\\Resources\\Scripts\\");
  std::string tooLong(600, 'x');
  EXPECT_EQ(ResourcePath(tooLong.c_str(), "Scripts"), nullptr);
}

TEST_F(FileTest, CreateMeasureAndLoad) {
  ASSERT_TRUE(Start(0));
  std::string path = dir_ + "\\made.ini";  // the runtime's separator, mapped natively
  WriteFile(dir_ + "/made.ini", "old text");
  ASSERT_TRUE(VX_CreateFile(path.c_str()));
  EXPECT_EQ(FileSize(path.c_str()), 0u);
  EXPECT_EQ(AssertCount(), 0u);

  std::string text = "[Config]\r\nFLAGS=3\r\n";
  WriteFile(dir_ + "/made.ini", text);
  EXPECT_EQ(FileSize(path.c_str()), text.size());
  uint32_t size = 0;
  void* block = LoadFile(path.c_str(), &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, text.size());
  EXPECT_EQ(LoadedFileSize(), text.size());
  EXPECT_EQ(std::string(static_cast<char*>(block), size), text);
  FreeMem(block);

  WriteFile(dir_ + "/empty.ini", "");
  block = LoadFile((dir_ + "/empty.ini").c_str(), &size);
  ASSERT_NE(block, nullptr);  // a minimal block, so callers can tell "empty" from "missing"
  EXPECT_EQ(size, 0u);
  FreeMem(block);
}

TEST_F(FileTest, MissingFilesLeaveNothingBehind) {
  ASSERT_TRUE(Start(0));
  std::string missing = dir_ + "/nothing/here.ini";
  uint64_t freeBefore = AvailPoolMem();
  uint32_t size = 7;
  EXPECT_EQ(LoadFile(missing.c_str(), &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(LoadedFileSize(), 0u);
  EXPECT_EQ(AvailPoolMem(), freeBefore);
  EXPECT_EQ(FileSize(missing.c_str()), 0u);
  EXPECT_EQ(LoadFile(nullptr), nullptr);

  // A file larger than the memory left fails like a missing one: no box.
  const std::string big = dir_ + "/big.ini";
  WriteFile(big, std::string(static_cast<size_t>(AvailPoolMem()) + 1, 'x'));
  EXPECT_EQ(LoadFile(big.c_str(), &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(AvailPoolMem(), freeBefore);
  EXPECT_EQ(AssertCount(), 0u);  // only VX_CreateFile shows the box
}

TEST_F(FileTest, CreateFailureShowsTheBox) {
  ASSERT_TRUE(Start(0));
  std::string path = dir_ + "\\no such folder\\x.ini";
  EXPECT_FALSE(VX_CreateFile(path.c_str()));
  ASSERT_EQ(AssertCount(), 1u);
  EXPECT_EQ(Asserts()[0].file, "Exec\\File");
  EXPECT_EQ(Asserts()[0].line, 181);
  EXPECT_EQ(Asserts()[0].message, "VX_CreateFile: Could not create file " + path);
}

struct FakeDrives {
  uint32_t mask;
  uint32_t refuse;  // drive numbers (bit n-1) that cannot be selected
  std::vector<uint32_t> probed;
};

uint32_t FakeMask(void* context) { return static_cast<FakeDrives*>(context)->mask; }
bool FakeProbe(void* context, uint32_t number, DriveProbe* out) {
  FakeDrives* drives = static_cast<FakeDrives*>(context);
  drives->probed.push_back(number);
  if (drives->refuse & (1u << (number - 1))) return false;
  // A long label is cut to the field, as the platform call would.
  const char* label = number == 3 ? "SYSTEM" : "A label longer than thirty-one characters";
  snprintf(out->label, sizeof out->label, "%.*s", static_cast<int>(sizeof out->label - 1), label);
  out->fileSystemFlags = 0x100 + number;
  out->driveType = number == 3 ? 3 : 2;
  return true;
}

TEST_F(FileTest, DriveListSkipsFloppiesAndUnselectableDrives) {
  ASSERT_TRUE(Start(0));
  ExecList* list = DriveList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(CountNodes(&list->list), 0u);  // no drive letters on this host

  FakeDrives drives{0x1 | 0x4, 0, {}};  // A: and C:
  DriveSource twoDrives{FakeMask, FakeProbe, &drives};
  ASSERT_TRUE(SetupDriveListFrom(&twoDrives));
  EXPECT_EQ(drives.probed, std::vector<uint32_t>{3});
  ASSERT_EQ(CountNodes(&list->list), 1u);
  DriveEntry* c = reinterpret_cast<DriveEntry*>(FirstNode(&list->list));
  EXPECT_EQ(c->driveNumber, 3u);
  EXPECT_STREQ(c->node.name, "SYSTEM");
  EXPECT_EQ(c->fileSystemFlags, 0x103u);
  EXPECT_EQ(c->driveType, 3u);

  // Drives up to the 31st letter; E: refuses to be selected; the label is cut to 31.
  FakeDrives more{0x2 | 0x10 | 0x20 | 0x40000000u | 0x80000000u, 0x10, {}};
  DriveSource source{FakeMask, FakeProbe, &more};
  ASSERT_TRUE(SetupDriveListFrom(&source));
  EXPECT_EQ(more.probed, (std::vector<uint32_t>{5, 6, 31}));
  ASSERT_EQ(CountNodes(&list->list), 3u);
  DriveEntry* f = reinterpret_cast<DriveEntry*>(GetNthNode(&list->list, 1));
  EXPECT_EQ(f->driveNumber, 6u);
  EXPECT_EQ(strlen(f->label), 31u);

  // With the types known, only fixed and removable drives are probed: network
  // (4), optical (5), RAM (6), unknown (0) and gone (1) drives are left out.
  FakeDrives typed{0xFC, 0, {}};  // C: to H:
  DriveSource withTypes{FakeMask, FakeProbe, &typed,
                        [](void*, uint32_t n) { return std::vector<uint32_t>{0, 0, 0, 3, 4, 5, 2, 6, 1}[n]; }};
  ASSERT_TRUE(SetupDriveListFrom(&withTypes));
  EXPECT_EQ(typed.probed, (std::vector<uint32_t>{3, 6}));
}

}  // namespace
