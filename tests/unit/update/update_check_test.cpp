// The update check on a canned server: the online script's keys, the offers
// and every message, the download address and the firmware handed on.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "exec/memory.h"
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
      {"no script", "", 0x0105, false, {}, {}, {}, false, false},
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
       0x0105, false, {true}, {kFirmwareQuestion, kFlashFailed}, {}, false, false},
      {"firmware on a strange host", Script("FW_VERSION=0,0,1,6\r\nFW_UPDATE=0,0,0,0,\"a/b\",w.hex\r\n"), 0x0105,
       false, {true}, {kFirmwareQuestion, kFlashFailed}, {}, false, false},
      {"firmware not on the server", Script("FW_VERSION=0,0,1,6\r\n" + firmware), 0x0105, false, {true},
       {kFirmwareQuestion}, {}, false, true},
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

}  // namespace
}  // namespace scripttest
