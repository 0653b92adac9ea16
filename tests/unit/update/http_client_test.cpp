// The HTTP client against the update server on the loopback interface: the
// request bytes, the bodies it hands back and the answers it refuses.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "exec/memory.h"
#include "exec_env.h"
#include "update/http_client.h"
#include "update_fakes.h"

namespace {

const char kScript[] = "[SERVER]\r\nVERSION=0,0,0,22\r\n";
const char kRequest[] = "GET http://127.0.0.1/ts_servers.ini HTTP/1.0\r\nUser-Agent:CustomClient/1.0\r\n\r\n";

// A firmware-sized text: more than the 80,000 bytes a single receive chunk held.
std::string LargeHex() {
  std::string text;
  char line[64];
  for (int address = 0; text.size() < 100000; address += 16) {
    std::snprintf(line, sizeof line, ":10%04X00%s\r\n", address & 0xFFFF, "000102030405060708090A0B0C0D0E0F00");
    text += line;
  }
  return text;
}

class HttpClientTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_TRUE(Start(0, 0, 0, 0x1000000));
    baseline_ = AvailPoolMem();
    WriteFile(folder_.Path("ts_servers.ini"), "[SERVER]\r\nVERSION=0,0,0,22\r\n");
    WriteFile(folder_.Path("empty.ini"), "");
    WriteFile(folder_.Path("large.hex"), LargeHex());
    // An HTML page that quotes the marker: the marker counts only where the headers end.
    WriteFile(folder_.Path("quotes.html"), "<pre>Content-Type: text/plain\r\n\r\n</pre>");
    rig_ = std::make_unique<ServerRig>(folder_.path());
  }
  void TearDown() override {
    rig_.reset();
    if (ExecStarted()) {
      EXPECT_EQ(AvailPoolMem(), baseline_) << "a fetch kept pool memory";
    }
    ExecEnv::TearDown();
  }

  TempDir folder_{"ts_http"};
  std::unique_ptr<ServerRig> rig_;
  uint64_t baseline_ = 0;
};

TEST_F(HttpClientTest, SendsTheRequestBytesExactlyToPort80) {
  HttpClient client(rig_->sockets);
  ASSERT_NE(client.HttpGet("127.0.0.1", "ts_servers.ini"), nullptr) << client.ErrorText();
  const std::vector<ServedRequest> requests = rig_->server->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].bytes, kRequest);
  EXPECT_EQ(rig_->sockets.connectPorts, std::vector<uint16_t>{80});
  EXPECT_EQ(rig_->sockets.lookUps, 0) << "a dotted address needs no look-up";
  EXPECT_STREQ(client.Url(), "http://127.0.0.1/ts_servers.ini");
}

// What each server behaviour gives: a body (and which) or no body (and why).
// Ordinary web servers: headers in any order and case, bare "\n" line ends,
// the type text/plain (parameters allowed), application/octet-stream or none.
TEST_F(HttpClientTest, AnswersThatGiveABodyAndAnswersThatDoNot) {
  const std::string large = LargeHex();
  struct Case {
    const char* control;  // server behaviour ("|" between lines), "" for a normal answer
    const char* path;
    bool body;
    std::string expected;  // the body, or the failure text
  };
  const Case cases[] = {
      {"", "ts_servers.ini", true, kScript}, {"", "empty.ini", true, ""}, {"", "large.hex", true, large},
      {"content-type text/plain; charset=utf-8", "ts_servers.ini", true, kScript},
      {"content-type application/octet-stream", "ts_servers.ini", true, kScript},
      {"content-type none", "ts_servers.ini", true, kScript},
      {"header Connection: close|header X-Cache: HIT", "ts_servers.ini", true, kScript},
      {"content-type none|header content-TYPE:TEXT/plain ;charset=UTF-8", "ts_servers.ini", true, kScript},
      {"line-ends lf", "ts_servers.ini", true, kScript},
      {"length 8", "ts_servers.ini", true, "[SERVER]"},  // bytes past the length are no body
      {"header Content-Type: text/html", "ts_servers.ini", false, kHttpNoBody},
      {"content-type text/plainer", "ts_servers.ini", false, kHttpNoBody},
      {"length 99", "ts_servers.ini", false, kHttpShortBody},
      {"header Content-Length: 2x", "ts_servers.ini", false, kHttpBadLength},
      {"content-type text/html", "ts_servers.ini", false, kHttpNoBody},
      {"content-type text/html", "quotes.html", false, kHttpNoBody},
      {"", "missing.ini", false, kHttpNotOk},  // a 404 page, text/plain too
      {"status 500", "ts_servers.ini", false, kHttpNotOk},
      {"cut 0", "ts_servers.ini", false, kHttpNotOk},   // closed without a word
      {"cut 40", "ts_servers.ini", false, kHttpNoBody},  // closed inside the headers
      {"cut 110", "ts_servers.ini", false, kHttpShortBody},  // closed inside the body
      {"late 2500", "ts_servers.ini", false, kHttpTimedOut},
      {"hang on", "ts_servers.ini", false, kHttpTimedOut},
      {"large 1048576", "anything", true, std::string()},  // 1 MiB: whole
      {"large 1114112", "anything", false, kHttpTooLarge},  // past the limit: refused, not cut
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + c.path);
    rig_->Control("normal");
    std::stringstream lines(c.control);
    for (std::string line; std::getline(lines, line, '|');) rig_->Control(line);
    HttpClient client(rig_->sockets);
    const char* body = client.HttpGet("127.0.0.1", c.path);
    if (!c.body) {
      EXPECT_EQ(body, nullptr);
      EXPECT_STREQ(client.ErrorText(), c.expected.c_str());
      continue;
    }
    ASSERT_NE(body, nullptr) << client.ErrorText();
    if (c.expected.empty() && *c.control) {
      EXPECT_EQ(client.BodyLength(), 1048576u);
    } else {
      EXPECT_EQ(std::string(body, client.BodyLength()), c.expected);
    }
  }
}

TEST_F(HttpClientTest, RefusesWithoutConnectingWhatCannotBeARequest) {
  const std::string longPath(250, 'a');  // "http://127.0.0.1/" + 250 > 255
  const std::string hostOf256(256, 'h');
  const std::string pathOf257(257, 'p');
  struct Case {
    std::string host;
    std::string path;
    const char* error;
  };
  const Case cases[] = {
      {"127.0.0.1", longPath, kHttpTooLong}, {hostOf256, "x", kHttpTooLong}, {"h", pathOf257, kHttpTooLong},
      {"127.0.0.1", "a b", kHttpBadText}, {"127.0.0.1", "a\r\nHost: x", kHttpBadText},
      {"", "ts_servers.ini", kHttpBadText},
      {"no-such-host", "ts_servers.ini", kHttpHostNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.substr(0, 20) + " " + c.path.substr(0, 20));
    HttpClient client(rig_->sockets);
    EXPECT_EQ(client.HttpGet(c.host.c_str(), c.path.c_str()), nullptr);
    EXPECT_STREQ(client.ErrorText(), c.error);
  }
  EXPECT_EQ(rig_->sockets.opens, 0);
  EXPECT_TRUE(rig_->server->Requests().empty());
}

TEST_F(HttpClientTest, AHostNameIsLookedUpAndItsFirstAddressUsed) {
  rig_->sockets.hosts["updates.example"] = 0x0100007F;  // 127.0.0.1 in network order
  HttpClient client(rig_->sockets);
  ASSERT_NE(client.HttpGet("updates.example", "ts_servers.ini"), nullptr) << client.ErrorText();
  EXPECT_EQ(rig_->sockets.lookUps, 1);
  ASSERT_EQ(rig_->server->Requests().size(), 1u);
  EXPECT_EQ(rig_->server->Requests()[0].target, "http://updates.example/ts_servers.ini");
}

// A name server that does not answer is left behind when the time is up; the
// look-up ends later on its own without touching the client that is gone.
TEST_F(HttpClientTest, ASilentNameServerCountsAgainstTheBound) {
  static TestSockets& slow = *new TestSockets;  // outlives the look-up thread, never destroyed
  slow.port = rig_->sockets.port;
  slow.lookUpDelayMs = 3000;
  slow.hosts["slow.example"] = 0x0100007F;
  {
    HttpClient client(slow);
    EXPECT_EQ(client.HttpGet("slow.example", "ts_servers.ini"), nullptr);
    EXPECT_STREQ(client.ErrorText(), kHttpTimedOut);
    EXPECT_EQ(client.State(), HttpState::kTimedOut);
  }
  EXPECT_EQ(slow.opens, 0);
}

TEST_F(HttpClientTest, FetchTextGivesTheCallerAWholeTerminatedBlock) {
  const std::string large = LargeHex();
  struct Case {
    const char* path;
    std::string body;
  };
  const Case cases[] = {{"ts_servers.ini", "[SERVER]\r\nVERSION=0,0,0,22\r\n"}, {"empty.ini", ""}, {"large.hex", large}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    uint32_t length = 99;
    char* text = FetchText("127.0.0.1", c.path, &length, rig_->sockets);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, c.body.size());
    EXPECT_EQ(std::string(text, length), c.body);
    EXPECT_EQ(text[length], 0);
    EXPECT_GE(GetMemSize(text), length + 1);
    FreeMem(text);
  }
  uint32_t length = 99;
  const char* reason = nullptr;
  EXPECT_EQ(FetchText("127.0.0.1", "missing.ini", &length, rig_->sockets, &reason), nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(reason, kHttpNotOk);
}

}  // namespace
