#pragma once
// Test doubles for the update subsystem: the update server on a free port of
// the loopback interface with the client's fixed port 80 pointed at it, a
// resolver that knows what a test tells it, a process runner that plays the
// port lister and the flasher, and a view that records what the user would
// see and answers questions from a script.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "exec/log.h"
#include "exec/os.h"
#include "profiles/settings.h"
#include "update/process_io.h"
#include "update/socket_io.h"
#include "update/update_view.h"
#include "update/updater.h"
#include "update_server/update_server_posix.h"
#include "wheel_fakes.h"

// The system's sockets, with port 80 sent to the test server's port and the
// host look-up answered from a table (anything else: not found).
class TestSockets : public SocketApi {
 public:
  uint16_t port = 0;
  std::map<std::string, uint32_t> hosts;
  uint32_t lookUpDelayMs = 0;
  std::atomic<int> lookUps{0};
  std::atomic<int> opens{0};
  std::vector<uint16_t> connectPorts;

  bool LookUpIPv4(const char* host, uint32_t* address) override {
    ++lookUps;
    if (lookUpDelayMs) os::SleepMs(lookUpDelayMs);
    auto it = hosts.find(host);
    if (it == hosts.end()) return false;
    *address = it->second;
    return true;
  }
  SocketHandle Open() override {
    ++opens;
    return SocketApi::Open();
  }
  int StartConnect(SocketHandle socket, uint32_t address, uint16_t to) override {
    connectPorts.push_back(to);
    return SocketApi::StartConnect(socket, address, to == 80 && port != 0 ? port : to);
  }
};

// The update server on 127.0.0.1 and a free port, serving a private folder.
class ServerRig {
 public:
  explicit ServerRig(const std::string& root) {
    UpdateServerOptions options;
    options.root = root;
    options.port = 0;
    server = std::make_unique<UpdateServer>(options);
    std::string error;
    started = server->Start(&error);
    EXPECT_TRUE(started) << error;
    sockets.port = server->Port();
  }
  void Control(const std::string& line) {
    std::string error;
    EXPECT_TRUE(server->Control(line, &error)) << error;
  }

  std::unique_ptr<UpdateServer> server;
  TestSockets sockets;
  bool started = false;
};

// Plays the outside programs: each run of a program gets its output and exit
// code from a function the test gives; every run is recorded.
class FakeProcesses : public ProcessRunner {
 public:
  struct Run {
    std::string program;
    std::vector<std::string> args;
  };
  struct Result {
    bool started = true;
    std::string output;
    int exitCode = 0;
  };
  std::vector<Run> runs;
  std::function<Result(const Run&)> play = [](const Run&) { return Result{}; };

  bool RunCapture(const char* program, const char* const* args, ProcessOutput* output,
                  uint32_t timeoutMs, int* exitCode) override {
    const Result result = Record(program, args);
    if (!result.started) return false;
    if (output) output->Append(result.output.data(), result.output.size());
    if (exitCode) *exitCode = result.exitCode;
    return true;
  }
  // Played programs end at once; the flash looks in on them like on any.
  RunningProcess* Start(const char* program, const char* const* args, bool) override {
    return StartByRunCapture(*this, program, args, 0, 64 * 1024);
  }
  bool flasherInstalled = true;
  bool CanStart(const char* program) override {
    return std::string(program) != "Tools\\avrdude" || flasherInstalled;
  }

 private:
  Result Record(const char* program, const char* const* args) {
    Run run{program, {}};
    for (const char* const* a = args; a && *a; ++a) run.args.push_back(*a);
    runs.push_back(run);
    return play(runs.back());
  }
};

// What the user sees: questions answered in turn (then with answer).
class RecordingUpdateView : public UpdateView {
 public:
  struct Shown {
    std::string text;
    bool question;
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;
  bool answer = false;
  std::deque<OfferAnswer> offerAnswers;  // offers take these first, then answers as Yes/No
  std::vector<bool> offersSkippable;
  std::vector<bool> checking;  // every ShowChecking, in turn
  std::vector<std::string> opened;
  bool openResult = true;
  int quits = 0;
  std::function<void(const std::string&)> onShow;

  bool Ask(const char* text) override {
    shown.push_back({text, true});
    if (onShow) onShow(text);
    if (answers.empty()) return answer;
    const bool next = answers.front();
    answers.pop_front();
    return next;
  }
  OfferAnswer Offer(const char* text, bool canSkip) override {
    offersSkippable.push_back(canSkip);
    if (offerAnswers.empty()) return Ask(text) ? OfferAnswer::kYes : OfferAnswer::kNo;
    shown.push_back({text, true});
    const OfferAnswer next = offerAnswers.front();
    offerAnswers.pop_front();
    return next;
  }
  void ShowChecking(bool on) override { checking.push_back(on); }
  void Inform(const char* text) override {
    shown.push_back({text, false});
    if (onShow) onShow(text);
  }
  bool OpenInBrowser(const char* url) override {
    opened.push_back(url);
    return openResult;
  }
  void Quit() override { ++quits; }

  // The texts without an offer's version line.
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Shown& s : shown) out.push_back(s.text.substr(0, s.text.find("\n\n")));
    return out;
  }
};

// An Updater on a WheelLink wired to the stand-in board (wheel_fakes.h).
struct UpdaterRig : WheelRig {
  Settings settings;
  Updater updater{link, settings};

  // What a flash needs around it: the board on COM7, a 2 s reset, Log.txt
  // and Tools\avrdude.conf in dir.
  void ArrangeFlash(UpdateView* view, ProcessRunner* processes, const std::string& dir) {
    updater.view = view;
    updater.processes = processes;
    link.wheelPort = 7;
    settings.resetDelay = 2000;
    SetLogSwitch(1);
    SetLogDirectory((dir + "/").c_str());
    mkdir((dir + "/Tools").c_str(), 0700);
    FILE* conf = std::fopen((dir + "/Tools/avrdude.conf").c_str(), "wb");
    ASSERT_NE(conf, nullptr);
    std::fputs("# the flasher's configuration\n", conf);
    std::fclose(conf);
  }
};
