// The scheme rules of the update fetch: which SERVER values name which
// server, the HTTPS answers that give a body, the redirects that are
// followed, and what the check shows and fetches over HTTPS.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exec/memory.h"
#include "script_fixture.h"
#include "update/secure_fetch.h"
#include "update/updater.h"
#include "update_fakes.h"
#include "wheel_fakes.h"

namespace scripttest {
namespace {

// HTTPS played from a table: "host:port/path" -> an answer, or a refusal.
class ScriptedSecure : public SecureApi {
 public:
  struct Answer {
    SecureResult result;
    std::string response;
  };
  std::map<std::string, Answer> answers;
  std::vector<std::string> asked;

  SecureResult Get(const char* host, uint16_t port, const char* path, uint64_t, char* response, uint32_t capacity,
                   uint32_t* length, uint32_t* systemError) override {
    const std::string key = std::string(host) + ":" + std::to_string(port) + "/" + path;
    asked.push_back(key);
    *length = 0;
    *systemError = 0;
    auto it = answers.find(key);
    if (it == answers.end()) return SecureResult::kNoConnection;
    if (it->second.result != SecureResult::kAnswered) return it->second.result;
    if (it->second.response.size() > capacity) return SecureResult::kTooLarge;
    std::memcpy(response, it->second.response.data(), it->second.response.size());
    *length = static_cast<uint32_t>(it->second.response.size());
    return SecureResult::kAnswered;
  }
};

std::string Ok(const std::string& body, const char* type = "text/plain") {
  return std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}
std::string Moved(const std::string& location) {
  return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

TEST(UpdateServerSetting, PlainHostsAndHttpsAddresses) {
  const struct {
    const char* text;
    bool ok;
    bool https;
    uint16_t port;
    const char* host;
  } cases[] = {
      {"tillerset-updates", true, false, 80, "tillerset-updates"},
      {"192.168.1.10", true, false, 80, "192.168.1.10"},
      {"https://updates.example.org", true, true, 443, "updates.example.org"},
      {"HTTPS://localhost:8443/", true, true, 8443, "localhost"},
      {"https://localhost:65535", true, true, 65535, "localhost"},
      {"https://localhost:65536", false, false, 0, ""},
      {"https://localhost:0", false, false, 0, ""},
      {"https://localhost:", false, false, 0, ""},
      {"https://localhost:44x", false, false, 0, ""},
      {"https://localhost/updates", false, false, 0, ""},  // the scripts' names are fixed
      {"https://", false, false, 0, ""},
      {"https://a b", false, false, 0, ""},
      {"https://user@host", false, false, 0, ""},
      {"http://updates.example.org", false, false, 0, ""},  // plain HTTP names no port: a host name does
      {"https:", false, false, 0, ""},                       // what an unquoted value leaves
      {"host:8080", false, false, 0, ""},
  };
  for (const auto& c : cases) {
    UpdateServerAddress address;
    EXPECT_EQ(ParseUpdateServer(c.text, &address), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(address.https, c.https) << c.text;
    EXPECT_EQ(address.port, c.port) << c.text;
    EXPECT_STREQ(address.host, c.host) << c.text;
  }
}

TEST(UpdateServerSetting, RedirectsFollowedOnlyToHttps) {
  const struct {
    const char* location;
    bool followed;
    const char* host;
    uint16_t port;
    const char* path;
  } cases[] = {
      {"https://mirror.example.org/fw/w.hex", true, "mirror.example.org", 443, "fw/w.hex"},
      {"HTTPS://localhost:9443/", true, "localhost", 9443, ""},
      {"/elsewhere.ini", true, "updates.test", 8443, "elsewhere.ini"},
      {"http://updates.test/ts_servers.ini", false, "", 0, ""},
      {"http://updates.test:8443/ts_servers.ini", false, "", 0, ""},
      {"//evil.test/ts_servers.ini", false, "", 0, ""},
      {"ftp://updates.test/x", false, "", 0, ""},
      {"updates.test/ts_servers.ini", false, "", 0, ""},  // no scheme: not https
      {"https://", false, "", 0, ""},
  };
  for (const auto& c : cases) {
    UpdateServerAddress server;
    ASSERT_TRUE(ParseUpdateServer("https://updates.test:8443", &server));
    char path[64] = "unchanged";
    EXPECT_EQ(FollowHttpsRedirect(c.location, &server, path, sizeof path), c.followed) << c.location;
    if (c.followed) {
      EXPECT_STREQ(server.host, c.host) << c.location;
      EXPECT_EQ(server.port, c.port) << c.location;
      EXPECT_STREQ(path, c.path) << c.location;
    } else {
      EXPECT_STREQ(server.host, "updates.test") << "a refused redirect leaves the server";
    }
  }
}

class SecureFetchTest : public ScriptTest {
 protected:
  // The body (or "" and the reason) of a fetch of ts_servers.ini from server.
  std::string Fetch(const char* server, const char** reason) {
    uint32_t length = 7;
    char* text = FetchFromServer(server, "ts_servers.ini", &length, sockets, secure, reason);
    if (text == nullptr) {
      EXPECT_EQ(length, 0u);
      return "";
    }
    std::string body(text, length);
    EXPECT_EQ(text[length], 0);
    FreeMem(text);
    return body;
  }
  TestSockets sockets;
  ScriptedSecure secure;
};

TEST_F(SecureFetchTest, AnswersAndRefusals) {
  const std::string script = "[SERVER]\r\nVERSION=0,0,0,22\r\n";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, ScriptedSecure::Answer>> served;
    std::string body;
    const char* reason;
    size_t requests;
  } cases[] = {
      {"a script", {{"updates.test:8443/ts_servers.ini", {SecureResult::kAnswered, Ok(script)}}}, script, "", 1},
      {"nginx's type for .ini", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, Ok(script, "application/octet-stream")}}}, script, "", 1},
      {"a portal page", {{"updates.test:8443/ts_servers.ini", {SecureResult::kAnswered, Ok("<p>", "text/html")}}},
       "", kHttpNoBody, 1},
      {"cut short", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, Ok(script).substr(0, Ok(script).size() - 3)}}}, "", kHttpShortBody, 1},
      {"the certificate refused", {{"updates.test:8443/ts_servers.ini", {SecureResult::kCertificate, ""}}}, "",
       kHttpsCertificate, 1},
      {"a redirect to https", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, Moved("https://mirror.test/m/ts_servers.ini")}},
        {"mirror.test:443/m/ts_servers.ini", {SecureResult::kAnswered, Ok(script)}}}, script, "", 2},
      {"a redirect to http", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, Moved("http://updates.test/ts_servers.ini")}}}, "", kHttpsNotSecure, 1},
      {"a redirect without a Location", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, "HTTP/1.1 301 Moved\r\n\r\n"}}}, "", kHttpsNotSecure, 1},
      {"redirects without end", {{"updates.test:8443/ts_servers.ini",
        {SecureResult::kAnswered, Moved("/ts_servers.ini")}}}, "", kHttpsRedirects, kHttpsMaxRedirects + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    secure.answers.clear();
    secure.asked.clear();
    for (const auto& served : c.served) secure.answers[served.first] = served.second;
    const char* reason = "unset";
    EXPECT_EQ(Fetch("https://updates.test:8443", &reason), c.body);
    EXPECT_STREQ(reason, c.reason);
    EXPECT_EQ(secure.asked.size(), c.requests);
  }
  EXPECT_EQ(sockets.opens.load(), 0) << "nothing went over plain HTTP";

  const char* reason = "unset";
  EXPECT_EQ(FetchFromServer("https://updates.test", "a.ini", nullptr, sockets, SystemSecure(), &reason), nullptr);
  EXPECT_STREQ(reason, kHttpsUnavailable) << "no system TLS here: refused, never fetched unchecked";
  EXPECT_EQ(Fetch("https://bad host", &reason), "");
  EXPECT_STREQ(reason, kFetchBadServer);
  EXPECT_EQ(Fetch("plain-host", &reason), "");
  EXPECT_STREQ(reason, kHttpHostNotFound) << "a plain host still goes to the HTTP client";
  EXPECT_EQ(secure.asked.size(), kHttpsMaxRedirects + 1u) << "the plain host did not reach the HTTPS side";

  char url[kFetchUrlMax];
  FormatFetchUrl("https://updates.test", "ts_servers.ini", url, sizeof url);
  EXPECT_STREQ(url, "https://updates.test:443/ts_servers.ini");
  FormatFetchUrl("updates.test", "ts_servers.ini", url, sizeof url);
  EXPECT_STREQ(url, "http://updates.test/ts_servers.ini");
}

TEST_F(SecureFetchTest, TheCheckOverHttps) {
  WheelRig rig;
  RecordingUpdateView view;
  FakeProcesses processes;
  Updater& updater = rig.panel.updater;
  updater.view = &view;
  updater.processes = &processes;
  updater.sockets = &sockets;
  updater.secure = &secure;
  rig.panel.link.firmwareVersion = 0x0105;
  std::snprintf(rig.panel.settings.updateServer, sizeof rig.panel.settings.updateServer, "https://updates.test");
  const std::string offer = "[UPDATE]\r\nFW_VERSION=0,0,1,6\r\nFW_UPDATE=0,0,0,0,";
  const struct {
    const char* what;
    SecureResult result;
    std::string script;
    bool silent;
    std::vector<std::string> shown;
    size_t requests;
  } cases[] = {
      {"the certificate refused, Check now", SecureResult::kCertificate, "", false, {kCertificateNotTrusted}, 1},
      {"the certificate refused, automatic", SecureResult::kCertificate, "", true, {}, 1},
      {"no server, Check now", SecureResult::kNoConnection, "", false, {kServerUnreachable}, 1},
      {"firmware over plain HTTP", SecureResult::kAnswered, offer + "updates.test,wheel_1_6.hex\r\n", false,
       {kFirmwareQuestion, kFirmwareNotSecure}, 1},
      {"firmware over HTTPS", SecureResult::kAnswered, offer + "\"https://updates.test\",wheel_1_6.hex\r\n", false,
       {kFirmwareQuestion}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    secure.answers.clear();
    secure.asked.clear();
    secure.answers["updates.test:443/ts_servers.ini"] = {c.result, Ok(c.script)};
    view = RecordingUpdateView{};
    view.answers.assign({true});
    updater.CheckForUpdates(c.silent);
    std::vector<std::string> shown = view.Texts();
    for (std::string& text : shown) text = text.substr(0, text.find("\n\n"));
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(secure.asked.size(), c.requests);
  }
  EXPECT_EQ(sockets.opens.load(), 0) << "nothing went over plain HTTP";
  EXPECT_TRUE(processes.runs.empty());
}

}  // namespace
}  // namespace scripttest
