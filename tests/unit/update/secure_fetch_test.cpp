// The scheme rules of the update fetch: which SERVER values name which
// server, the HTTPS answers that give a body and the redirects that are
// followed. What the check shows over HTTPS: the update_https scenario.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exec/memory.h"
#include "script_fixture.h"
#include "update/secure_fetch.h"
#include "update_fakes.h"

namespace scripttest {
namespace {

// HTTPS played from a table: "host:port/path" -> a result and its response.
class ScriptedSecure : public SecureApi {
 public:
  std::map<std::string, std::pair<SecureResult, std::string>> answers;
  std::vector<std::string> asked;

  SecureResult Get(const char* host, uint16_t port, const char* path, uint64_t, char* response, uint32_t,
                   uint32_t* length) override {
    const std::string key = std::string(host) + ":" + std::to_string(port) + "/" + path;
    asked.push_back(key);
    auto it = answers.find(key);
    if (it == answers.end()) return SecureResult::kNoConnection;
    std::memcpy(response, it->second.second.data(), it->second.second.size());
    *length = static_cast<uint32_t>(it->second.second.size());
    return it->second.first;
  }
};

class SecureFetchTest : public ScriptTest {};

std::string Ok(const std::string& body, const char* type = "text/plain") {
  return std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}
std::string Moved(const std::string& location) { return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\n\r\n"; }

TEST(UpdateServerSetting, PlainHostsAndHttpsAddresses) {
  const struct {
    const char* text;
    bool ok;
    bool https;
    uint16_t port;
  } cases[] = {
      {"tillerset-updates", true, false, 80}, {"https://updates.example.org", true, true, 443},
      {"HTTPS://localhost:8443/", true, true, 8443}, {"https://localhost:65535", true, true, 65535},
      {"https://localhost:65536", false, false, 0}, {"https://localhost:0", false, false, 0},
      {"https://localhost:", false, false, 0}, {"https://localhost:44x", false, false, 0},
      {"https://localhost/updates", false, false, 0}, {"https://", false, false, 0},
      {"https://user@host", false, false, 0}, {"http://updates.example.org", false, false, 0},
      {"https:", false, false, 0},  // what an unquoted value leaves
  };
  for (const auto& c : cases) {
    UpdateServerAddress address;
    EXPECT_EQ(ParseUpdateServer(c.text, &address), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(address.https, c.https) << c.text;
    EXPECT_EQ(address.port, c.port) << c.text;
    EXPECT_STREQ(address.host, c.https ? (c.port == 443 ? "updates.example.org" : "localhost") : c.text);
  }
}

TEST(UpdateServerSetting, RedirectsFollowedOnlyToHttps) {
  const struct {
    const char* location;
    const char* followed;  // host:port/path, or null
  } cases[] = {
      {"https://mirror.example.org/fw/w.hex", "mirror.example.org:443/fw/w.hex"},
      {"HTTPS://localhost:9443/", "localhost:9443/"},
      {"/elsewhere.ini", "updates.test:8443/elsewhere.ini"},
      {"http://updates.test:8443/ts_servers.ini", nullptr},
      {"//evil.test/ts_servers.ini", nullptr},
      {"ftp://updates.test/x", nullptr},
      {"updates.test/ts_servers.ini", nullptr},  // no scheme: not https
  };
  for (const auto& c : cases) {
    UpdateServerAddress server;
    ASSERT_TRUE(ParseUpdateServer("https://updates.test:8443", &server));
    char path[64] = "";
    const bool followed = FollowHttpsRedirect(c.location, &server, path, sizeof path);
    EXPECT_EQ(followed, c.followed != nullptr) << c.location;
    const std::string where = std::string(server.host) + ":" + std::to_string(server.port) + "/" + path;
    EXPECT_EQ(where, c.followed ? c.followed : "updates.test:8443/") << c.location;
  }
}

TEST_F(SecureFetchTest, AnswersAndRefusals) {
  const std::string script = "[SERVER]\r\nVERSION=0,0,0,22\r\n";
  const std::string first = "updates.test:8443/ts_servers.ini";
  using Served = std::map<std::string, std::pair<SecureResult, std::string>>;
  const SecureResult ok = SecureResult::kAnswered;
  const struct {
    const char* what;
    Served served;
    const char* reason;  // "" when the script came
    size_t requests;
  } cases[] = {
      {"a script", {{first, {ok, Ok(script)}}}, "", 1},
      {"nginx's type for .ini", {{first, {ok, Ok(script, "application/octet-stream")}}}, "", 1},
      {"a portal page", {{first, {ok, Ok("<p>", "text/html")}}}, kHttpNoBody, 1},
      {"cut short", {{first, {ok, Ok(script).substr(0, Ok(script).size() - 3)}}}, kHttpShortBody, 1},
      {"the certificate refused", {{first, {SecureResult::kCertificate, ""}}}, kHttpsCertificate, 1},
      {"to https", {{first, {ok, Moved("https://m.test/m/x.ini")}}, {"m.test:443/m/x.ini", {ok, Ok(script)}}},
       "", 2},
      {"to http", {{first, {ok, Moved("http://updates.test/ts_servers.ini")}}}, kHttpsNotSecure, 1},
      {"without a Location", {{first, {ok, "HTTP/1.1 301 Moved\r\n\r\n"}}}, kHttpsNotSecure, 1},
      {"without end", {{first, {ok, Moved("/ts_servers.ini")}}}, kHttpsRedirects, kHttpsMaxRedirects + 1},
  };
  TestSockets sockets;
  ScriptedSecure secure;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    secure.answers = c.served;
    secure.asked.clear();
    const char* reason = "unset";
    uint32_t length = 7;
    char* text = FetchFromServer("https://updates.test:8443", "ts_servers.ini", &length, sockets, secure, &reason);
    EXPECT_EQ(text ? std::string(text, length) : "", *c.reason ? "" : script);
    EXPECT_STREQ(reason, c.reason);
    EXPECT_EQ(secure.asked.size(), c.requests);
    if (text) FreeMem(text);
  }
  const char* reason = "unset";
  EXPECT_EQ(FetchFromServer("https://updates.test", "a.ini", nullptr, sockets, SystemSecure(), &reason), nullptr);
  EXPECT_STREQ(reason, kHttpsUnavailable) << "no system TLS here: refused, never fetched unchecked";
  EXPECT_EQ(FetchFromServer("plain-host", "a.ini", nullptr, sockets, secure, &reason), nullptr);
  EXPECT_STREQ(reason, kHttpHostNotFound) << "a plain host still goes to the HTTP client";
  EXPECT_EQ(sockets.lookUps.load(), 1) << "and only it";
}

}  // namespace
}  // namespace scripttest
