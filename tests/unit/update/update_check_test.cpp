// The update check on a canned server: the online script's keys, the offers
// and every message, the download address and the firmware handed on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "exec/memory.h"
#include "exec/os.h"
#include "tillerset_version.h"
#include "script_fixture.h"
#include "update/updater.h"
#include "update_fakes.h"
#include "wheel_fakes.h"

namespace scripttest {
namespace {

// What the canned server holds ("host/path" -> text) and what was asked of it.
std::map<std::string, std::string> gServed;
std::vector<std::string> gFetched;

char* CannedFetch(Updater&, const char* host, const char* path, uint32_t* length) {
  const std::string key = std::string(host) + "/" + path;
  gFetched.push_back(key);
  auto it = gServed.find(key);
  if (it == gServed.end()) return nullptr;
  char* text = static_cast<char*>(AllocMem(kMainPoolId, it->second.size() + 1));
  std::memcpy(text, it->second.data(), it->second.size() + 1);
  *length = static_cast<uint32_t>(it->second.size());
  return text;
}

// The server's VERSION line for this program's version and for the next one.
const std::string kThisVersion =
    "VERSION=" + std::to_string(TS_VERSION_MAJOR) + ",0,0," + std::to_string(TS_VERSION_MINOR) + "\r\n";
const std::string kNextVersion =
    "VERSION=" + std::to_string(TS_VERSION_MAJOR) + ",0,0," + std::to_string(TS_VERSION_MINOR + 1) + "\r\n";
std::string Script(const std::string& lines) { return "[SERVER]\r\nADRESS=192.168.0.2\r\n[UPDATE]\r\n" + lines; }

class UpdateCheckTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    gServed.clear();
    gFetched.clear();
    Updater& updater = rig.updater;
    updater.view = &view;
    updater.fetch = CannedFetch;
    updater.processes = &processes;
    std::snprintf(rig.settings.updateServer, sizeof rig.settings.updateServer, "updates.test");
  }
  UpdaterRig rig;
  RecordingUpdateView view;
  FakeProcesses processes;
};

TEST_F(UpdateCheckTest, TheOnlineScriptFillsTheRecord) {
  gServed["updates.test/ts_servers.ini"] =
      "[SERVER]\r\nADRESS=10.0.0.9\r\nPORT=8080\r\nVERSION=1,2,3,4\r\n"
      "[UPDATE]\r\nUPDATE=9,9,9,9,\"http://updates.test/base/\",setup.exe\r\n"
      "FW_VERSION=0,0,1,6\r\nFW_UPDATE=0,0,0,0,fw.updates.test,wheel_1_6.hex\r\n"
      "VERSION=0,0,0,22\r\n";  // a later line wins
  UpdateServerRecord record;
  ASSERT_TRUE(rig.updater.ReadOnlineScript(0, &record, "updates.test", "ts_servers.ini"));
  EXPECT_STREQ(record.address, "10.0.0.9");
  EXPECT_EQ(record.port, 8080);
  EXPECT_EQ(record.toolVersion, 22u);
  EXPECT_EQ(record.firmwareVersion, 0x0106);
  EXPECT_STREQ(record.toolUrl, "http://updates.test/base/1033/setup.exe");  // English: 1033
  EXPECT_STREQ(record.firmwareHost, "fw.updates.test");
  EXPECT_STREQ(record.firmwarePath, "wheel_1_6.hex");

  gServed["updates.test/ts_servers.ini"] = "[UPDATE]\r\nVERSION=1,0,0,0\r\nFW_UPDATE=0,0,0,0,h\r\n";
  UpdateServerRecord sparse;
  ASSERT_TRUE(rig.updater.ReadOnlineScript(0, &sparse, "updates.test", "ts_servers.ini"));
  EXPECT_STREQ(sparse.address, kRecordDefaultAddress);
  EXPECT_EQ(sparse.port, 4207);
  EXPECT_EQ(sparse.toolVersion, 0x01000000u);
  EXPECT_EQ(sparse.firmwareVersion, 0);
  EXPECT_STREQ(sparse.firmwarePath, kMissingParameter);

  const std::string longPath(70, 'a');
  gServed["updates.test/ts_servers.ini"] = "[UPDATE]\r\nFW_UPDATE=0,0,0,0,h," + longPath + ".hex\r\n";
  UpdateServerRecord cut;
  ASSERT_TRUE(rig.updater.ReadOnlineScript(0, &cut, "updates.test", "ts_servers.ini"));
  EXPECT_STREQ(cut.firmwarePath, "") << "a name that does not fit is not cut to another name";

  EXPECT_FALSE(rig.updater.ReadOnlineScript(0, &cut, "updates.test", "missing.ini"));
  EXPECT_EQ(ServerListRow("Tillerset"), 0);
  EXPECT_EQ(ServerListRow("TILLERSET"), 0);
  EXPECT_EQ(ServerListRow(""), 0);
  EXPECT_EQ(OwnToolVersion(), 21u);
}

TEST_F(UpdateCheckTest, OffersAndMessages) {
  const std::string toolUrl = "UPDATE=0,0,0,0,\"http://updates.test/base/\",setup.exe\r\n";
  const std::string firmware = "FW_UPDATE=0,0,0,0,updates.test,wheel_1_6.hex\r\n";
  struct Case {
    const char* what;
    std::string script;  // empty: the server has none
    uint32_t boardVersion;
    bool silent;
    std::vector<bool> answers;
    std::vector<std::string> shown;
    std::vector<std::string> opened;
    bool quits;
    bool firmwareFetched;
  };
  const Case cases[] = {
      {"current, Check now", Script(kThisVersion), 0x0105, false, {}, {kNoUpdate}, {}, false, false},
      {"current, automatic", Script(kThisVersion), 0x0105, true, {}, {}, {}, false, false},
      {"no script, Check now", "", 0x0105, false, {}, {kServerUnreachable}, {}, false, false},
      {"no script, automatic", "", 0x0105, true, {}, {}, {}, false, false},
      {"newer tool, No", Script(kNextVersion + toolUrl), 0x0105, false, {false}, {kToolQuestion}, {},
       false, false},
      {"major version, Yes", Script("VERSION=1,0,0,0\r\n" + toolUrl), 0x0105, true, {true}, {kToolQuestion},
       {"http://updates.test/base/1033/setup.exe"}, true, false},
      {"both, No to the tool", Script(kNextVersion + toolUrl + "FW_VERSION=0,0,1,6\r\n" + firmware),
       0x0105, false, {false, false}, {kToolQuestion, kFirmwareQuestion}, {}, false, false},
      {"both, Yes to the tool", Script(kNextVersion + toolUrl + "FW_VERSION=0,0,1,6\r\n" + firmware),
       0x0105, false, {true}, {kToolQuestion}, {"http://updates.test/base/1033/setup.exe"}, true, false},
      {"same firmware", Script(kThisVersion + "FW_VERSION=0,0,1,5\r\n" + firmware), 0x0105, false, {},
       {kNoUpdate}, {}, false, false},
      {"no version read yet", Script("FW_VERSION=0,0,0,1\r\n" + firmware), 0, false, {false},
       {kFirmwareQuestion}, {}, false, false},
      {"a download that is no address", Script(kNextVersion + "UPDATE=0,0,0,0,base/,setup.exe\r\n"), 0x0105,
       false, {true}, {kToolQuestion}, {}, false, false},
      {"firmware in a folder", Script("FW_VERSION=0,0,1,6\r\nFW_UPDATE=0,0,0,0,updates.test,fw/w.hex\r\n"),
       0x0105, false, {true},
       {kFirmwareQuestion,
        "Could not flash the firmware: \"fw/w.hex\" is not a plain .hex file name."},
       {}, false, false},
      {"firmware on a strange host", Script("FW_VERSION=0,0,1,6\r\nFW_UPDATE=0,0,0,0,\"a/b\",w.hex\r\n"), 0x0105,
       false, {true},
       {kFirmwareQuestion,
        "Could not download the firmware: \"a/b\" is not a host name."},
       {}, false, false},
      {"firmware not on the server", Script("FW_VERSION=0,0,1,6\r\n" + firmware), 0x0105, false, {true},
       {kFirmwareQuestion,
        "Could not download the firmware wheel_1_6.hex from updates.test (no answer)."},
       {}, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gServed.clear();
    gFetched.clear();
    if (!c.script.empty()) gServed["updates.test/ts_servers.ini"] = c.script;
    view = RecordingUpdateView{};
    view.answers.assign(c.answers.begin(), c.answers.end());
    rig.link.firmwareVersion = c.boardVersion;
    rig.link.statusHold = false;
    bool heldDuring = false;
    view.onShow = [&](const std::string&) { heldDuring = rig.link.statusHold; };
    rig.updater.CheckForUpdates(c.silent);
    EXPECT_EQ(view.Texts(), c.shown);
    EXPECT_EQ(view.opened, c.opened);
    EXPECT_EQ(view.quits, c.quits ? 1 : 0);
    const bool firmwareFetched = gFetched.size() > 1;
    EXPECT_EQ(firmwareFetched, c.firmwareFetched);
    EXPECT_EQ(gFetched.front(), "updates.test/ts_servers.ini");
    EXPECT_FALSE(rig.link.statusHold) << "the hold is given back";
    if (!view.shown.empty()) {
      EXPECT_TRUE(heldDuring) << "the refresh stands aside while a box is open";
    }
    EXPECT_TRUE(processes.runs.empty()) << "nothing is flashed in these cases";
  }
}

// The offers name both versions. "Skip this version" comes only with the
// automatic check and quiets it about that one version; "Check now" offers
// it all the same, and a later version is offered again.
TEST_F(UpdateCheckTest, OffersShowTheVersionsAndSkipAVersion) {
  const std::string both = kNextVersion + "FW_VERSION=0,0,1,6\r\n", arrow = " \xE2\x86\x92 ";
  const std::string tool = std::string(kToolQuestion) + "\n\nTillerset 0.21" + arrow + "0.22";
  const std::string firmware = std::string(kFirmwareQuestion) + "\n\nFirmware 1.5" + arrow + "1.6";
  struct Case {
    bool silent;
    std::string script;
    uint32_t board;
    bool skip;  // the answer to every offer: Skip, else No
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {true, both, 0x0105, true, {tool, firmware}},
      {true, both, 0x0105, false, {}},
      {false, both, 0x0105, false, {tool, firmware}},
      {true, "FW_VERSION=0,0,1,7\r\n", 0, false,
       {std::string(kFirmwareQuestion) + "\n\nFirmware unknown" + arrow + "1.7"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    gServed["updates.test/ts_servers.ini"] = Script(c.script);
    rig.link.firmwareVersion = c.board;
    view = RecordingUpdateView{};
    if (c.skip) view.offerAnswers = {OfferAnswer::kSkip, OfferAnswer::kSkip};
    rig.updater.CheckForUpdates(c.silent);
    std::vector<std::string> texts;
    for (const auto& shown : view.shown) texts.push_back(shown.text);
    EXPECT_EQ(texts, c.shown);
    EXPECT_EQ(view.offersSkippable, std::vector<bool>(c.shown.size(), c.silent));
  }
  EXPECT_EQ(rig.settings.skipToolVersion, 22u);
  EXPECT_EQ(rig.settings.skipFirmwareVersion, 0x0106);
}

// The fetch runs on a thread of its own: the check returns at once, a second
// one is refused meanwhile, "Check now" shows it, and the poll makes the
// offers once the script is there. At the exit a running fetch is waited for.
std::atomic<bool> gReleaseFetch{false};
char* HeldFetch(Updater& updater, const char* host, const char* path, uint32_t* length) {
  while (!gReleaseFetch.load()) os::SleepMs(1);
  return CannedFetch(updater, host, path, length);
}

TEST_F(UpdateCheckTest, TheFetchRunsOffTheCallingThread) {
  gServed["updates.test/ts_servers.ini"] = Script(kThisVersion);
  Updater& updater = rig.updater;
  updater.fetch = HeldFetch;
  gReleaseFetch = false;
  ASSERT_TRUE(updater.StartCheck(false));
  EXPECT_FALSE(updater.StartCheck(true)) << "one check at a time";
  updater.PollCheck();
  EXPECT_TRUE(view.shown.empty() && updater.CheckRunning()) << "nothing to answer before the script is there";
  gReleaseFetch = true;
  for (int i = 0; i < 5000 && view.shown.empty(); ++i, os::SleepMs(1)) updater.PollCheck();
  EXPECT_EQ(view.Texts(), std::vector<std::string>{kNoUpdate});
  EXPECT_EQ(view.checking, (std::vector<bool>{true, false}));

  gReleaseFetch = false;
  ASSERT_TRUE(updater.StartCheck(true));
  std::thread release([] { os::SleepMs(20), gReleaseFetch = true; });
  updater.EndCheck();
  release.join();
  EXPECT_FALSE(updater.CheckRunning());
}

}  // namespace
}  // namespace scripttest
