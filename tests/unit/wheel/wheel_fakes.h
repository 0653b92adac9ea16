#pragma once
// Test doubles for the wheel link: a serial channel wired to the stand-in
// board model on a stepped clock, a view that records what the link shows,
// and a WheelLink on all three. Protocol tests run on them without sleeping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "exec/deadline.h"
#include "test_support.h"
#include "wheel/serial_channel.h"
#include "wheel/wheel_link.h"
#include "standin_board/standin_board.h"

using Bytes = std::vector<uint8_t>;
inline Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A port wired to a StandinBoard: what the program writes goes to the board,
// the board's replies arrive replyDelayUs later, one byte every byteUs.
class FakeChannel : public SerialChannel {
 public:
  FakeChannel(FakeClock& clock, StandinBoard& board) : clock_(clock), board_(board) {}
  ~FakeChannel() override { handle_ = kInvalidHandle; }

  bool present = true;  // the port exists: Open succeeds
  bool dead = false;    // the device is gone: writes and the status query fail
  uint32_t writeLimit = 0xFFFFFFFFu;  // write at most this many bytes per call
  uint64_t replyDelayUs = 100;
  uint64_t byteUs = 87;  // one byte at 115200 baud
  std::vector<uint8_t> written;
  std::vector<uint32_t> opens;
  uint32_t lastBaud = 0;
  int closes = 0;
  int waits = 0;
  uint32_t longestWaitUs = 0;

  // Bytes from the board that arrive from atUs on.
  void Inject(const std::vector<uint8_t>& bytes, uint64_t atUs) {
    uint64_t t = atUs;
    if (!input_.empty()) t = std::max(t, input_.back().first + byteUs);
    for (uint8_t b : bytes) {
      input_.push_back({t, b});
      t += byteUs;
    }
  }
  void InjectNow(const std::vector<uint8_t>& bytes) { Inject(bytes, clock_.now); }
  size_t Pending() const { return input_.size(); }

  int Open(uint32_t port, uint32_t baud) override {
    if (IsOpen()) Close();
    opens.push_back(port);
    lastBaud = baud;
    if (!present) return 0;
    handle_ = 1;
    return 1;
  }
  int Close() override {
    Purge();
    if (!IsOpen()) return -1;
    handle_ = kInvalidHandle;
    ++closes;
    return 1;
  }
  uint32_t Write(const void* data, uint32_t count) override {
    if (!IsOpen()) return 0;
    if (dead) {
      Close();
      return 0;
    }
    count = std::min(count, writeLimit);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    written.insert(written.end(), bytes, bytes + count);
    std::vector<uint8_t> reply;
    board_.Receive(bytes, count, &reply);
    if (!reply.empty()) Inject(reply, clock_.now + replyDelayUs);
    return count;
  }
  uint32_t Read(void* data, uint32_t count) override {
    if (!IsOpen()) return 0;
    uint8_t* out = static_cast<uint8_t*>(data);
    uint32_t got = 0;
    for (int attempt = 0; got < count && attempt < 5; ++attempt) {
      const uint32_t missing = count - got;
      // What has arrived by the end of this attempt's window is read.
      const uint64_t end = clock_.now + (missing + 2) * 1000u;
      while (got < count && !input_.empty() && input_.front().first <= end) {
        clock_.now = std::max(clock_.now, input_.front().first);
        out[got++] = input_.front().second;
        input_.pop_front();
      }
      if (got < count) clock_.now = end;
    }
    return got;
  }
  uint32_t BytesAvailable() override {
    if (!IsOpen()) return 0;
    if (dead) {
      Close();
      return 0;
    }
    return Arrived();
  }
  void Purge() override {
    if (!IsOpen()) return;
    while (!input_.empty() && input_.front().first <= clock_.now) input_.pop_front();
  }
  void SetLines(bool) override {}
  bool WaitForInput(uint32_t maxUs) override {
    if (!IsOpen()) return false;
    ++waits;
    longestWaitUs = std::max(longestWaitUs, maxUs);
    if (Arrived() > 0) return true;
    uint64_t until = clock_.now + maxUs;
    if (!input_.empty()) until = std::min(until, input_.front().first);
    clock_.now = std::max(clock_.now, until);
    return Arrived() > 0;
  }

 private:
  uint32_t Arrived() const {
    uint32_t n = 0;
    for (const auto& in : input_) {
      if (in.first > clock_.now) break;
      ++n;
    }
    return n;
  }

  FakeClock& clock_;
  StandinBoard& board_;
  std::deque<std::pair<uint64_t, uint8_t>> input_;
};

// The "P" writes among the bytes a board received, each whole; a "p" read
// request (three bytes) and one-byte commands are passed over.
inline std::vector<std::vector<uint8_t>> ParameterWrites(const std::vector<uint8_t>& w) {
  std::vector<std::vector<uint8_t>> out;
  for (size_t i = 0; i < w.size();) {
    if (w[i] != 'P') {
      i += w[i] == 'p' ? 3 : 1;
      continue;
    }
    const size_t end = i + 3 <= w.size() ? i + 3 + w[i + 2] : w.size();
    out.emplace_back(w.begin() + i, w.begin() + std::min(end, w.size()));
    i = end;
  }
  return out;
}

// The bulk read's 69 requests ("p", number, size), in the order the board
// expects them.
inline std::vector<uint8_t> BulkReadRequests() {
  std::vector<uint8_t> out;
  auto ask = [&](uint8_t n, uint8_t s) { out.insert(out.end(), {'p', n, s}); };
  for (uint8_t n : {4, 8, 17, 18, 19, 20, 21, 22, 23, 26, 27, 24, 34, 28, 29, 30, 31, 32, 33, 16}) {
    ask(n, n == 4 || n == 8 ? 4 : 1);
  }
  for (uint8_t n : {35, 79, 12, 77}) ask(n, n == 12 ? 4 : 1);
  for (uint8_t n = 36; n <= 71; ++n) ask(n, 1);
  for (uint8_t j = 0; j < 4; ++j) {
    ask(72 + j, 1);
    ask(80 + 2 * j, 2);
  }
  ask(25, 1);
  return out;
}

// What the link shows, in the order shown: each text of the main page, and
// the entries with the value each had when shown.
class RecordingLinkView : public WheelLinkView {
 public:
  struct Shown {
    const WheelParameter* entry;
    int32_t value;
  };
  std::map<LinkText, std::vector<std::string>> texts;
  std::vector<Shown> shown;

  std::string Text(LinkText which) const {
    auto it = texts.find(which);
    return it == texts.end() || it->second.empty() ? std::string() : it->second.back();
  }
  void ShowLinkText(LinkText which, const char* text) override { texts[which].push_back(text); }
  void ShowParameter(const WheelParameter& entry) override { shown.push_back({&entry, entry.value}); }
};

// A WheelLink wired to the stand-in board on a fake channel and a stepped
// clock, showing into a recording view.
struct WheelRig {
  WheelRig() {
    link.channel = &port;
    link.clock = &clock;
    link.view = &view;
    link.statusHold = false;
  }
  // Handshake on COM7; what it wrote is forgotten.
  void Connect() {
    ASSERT_EQ(link.ProbeWheel(7), 1);
    port.written.clear();
  }

  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  RecordingLinkView view;
  WheelLink link;
};
