#pragma once
// What many test files need: whole files read and written, a private folder
// that is removed afterwards, assert boxes recorded instead of shown, a raw
// pseudo-terminal standing for a COM port, and a stepped clock (sleeping only
// moves it on, so tests of time never sleep).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exec/com_port_paths_posix.h"
#include "exec/deadline.h"
#include "exec/log.h"

namespace testsupport {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Replaces the file's bytes; missing folders on the way are made.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// A fresh folder under /tmp, removed with its contents when it goes.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "ts") {
    std::string pattern = "/tmp/" + prefix + "_XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
      ADD_FAILURE() << "mkdtemp " << pattern;
      return;
    }
    path_ = pattern;
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Tests may leave read-only entries behind; make them removable first.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A pseudo-terminal whose slave is COM<port>.
struct Pty {
  explicit Pty(uint8_t port) : port(port) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    char name[128];
    ptsname_r(master, name, sizeof name);
    slave = name;
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    SetComPortPath(port, name);
  }
  ~Pty() {
    SetComPortPath(port, nullptr);
    if (master >= 0) close(master);
  }
  void Send(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void Unplug() {
    close(master);
    master = -1;
  }
  uint8_t port;
  int master = -1;
  std::string slave;
};

struct SeenAssert {
  std::string file;
  int line;
  std::string message;
};

// Every assert box the runtime would show, answered with Cancel (carry on).
// Install() clears the record and hooks it in; Remove() unhooks it.
class AssertRecorder {
 public:
  // The boxes shown since Install. Reading them (All, Count, Last, Saw) marks
  // them as looked at; Remove fails the test when boxes came that it never
  // looked at, so no test hides an assert it provoked by accident.
  static std::vector<SeenAssert>& All() {
    Looked() = true;
    return Seen();
  }
  static bool Hook(const char* file, int line, const char* message) {
    Seen().push_back({file ? file : "", line, message ? message : ""});
    return false;
  }
  static void Install() {
    Seen().clear();
    Looked() = false;
    SetAssertHook(Hook);
  }
  static void Remove() {
    SetAssertHook(nullptr);
    if (!Looked() && !Seen().empty()) {
      std::string list;
      for (const SeenAssert& seen : Seen()) list += "\n  " + seen.file + ": " + seen.message;
      ADD_FAILURE() << Seen().size() << " assert box(es) the test never checked:" << list;
    }
    Seen().clear();
  }
  static size_t Count() { return All().size(); }
  static std::string Last() { return All().empty() ? std::string() : All().back().message; }
  // Whether a box with exactly this message (and, when given, line) was shown.
  static bool Saw(const std::string& message, int line = -1) {
    for (const SeenAssert& seen : All()) {
      if (seen.message == message && (line < 0 || seen.line == line)) return true;
    }
    return false;
  }

 private:
  static std::vector<SeenAssert>& Seen() {
    static std::vector<SeenAssert> seen;
    return seen;
  }
  static bool& Looked() {
    static bool looked = false;
    return looked;
  }
};

}  // namespace testsupport

class FakeClock : public LinkClock {
 public:
  uint64_t now = 1000000;  // 1 s, so the 32-bit millisecond tick is not 0
  uint64_t sleptMs = 0;
  uint64_t NowUs() override { return now; }
  void SleepMs(uint32_t ms) override {
    now += uint64_t{ms} * 1000u;
    sleptMs += ms;
  }
};
