#pragma once
// A stand-in for the wheel controller board: its side of the serial protocol
// as a plain state machine (bytes in, reply bytes out), so it runs behind a
// pseudo-terminal (standin_host.h, tools/standin_board), behind a test's fake
// channel, or anywhere else without hardware. It is also the demo board.
//
// What it answers:
//   "orvenk?"          the handshake reply (default "DuvarKemol"), found anywhere
//                      in the stream between commands
//   "p" n s            s bytes of parameter n, least significant first
//   "P" n s v*s        stores parameter n (big-endian value, sign-extended), no reply
//   "S"                one status byte from the status script
//   "V"                four version bytes, least significant first
//   "r"                starts the calibration script (the next "S" answers walk it)
//   "c"                centres: parameter 4 := the centre offset
//   "D"                restores the default parameter set
// Reports "#" kind r1 r2 r3 are made on request (MakeReport) while parameter
// 16, the debug level, is above 0; the host decides when.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class StandinBoard {
 public:
  StandinBoard();

  // Transcript sink: direction '<' (from the host), '>' (to the host) or '#'
  // (an event), the bytes concerned, and a short description.
  using Note = std::function<void(char direction, const uint8_t* bytes, size_t count,
                                  const std::string& text)>;
  void SetNote(Note note) { note_ = std::move(note); }

  // Feeds bytes from the host; reply bytes are appended to *out.
  void Receive(const uint8_t* data, size_t count, std::vector<uint8_t>* out);
  // Everything received so far, in order (for byte-exact checks).
  const std::vector<uint8_t>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }

  int32_t Parameter(uint8_t number) const { return values_[number]; }
  void SetParameter(uint8_t number, int32_t value) { values_[number] = value; }
  void RestoreDefaults();
  // A restart (power cycle, bootloader reset): defaults stay as stored, the
  // status script starts over, a half-received command is forgotten.
  void Restart();

  void SetStatusScript(std::vector<uint8_t> codes);       // answers to "S", last one repeats
  void SetCalibrationScript(std::vector<uint8_t> codes);  // started by "r"
  void SetVersion(uint32_t version) { version_ = version; }  // low byte minor, next major
  uint32_t Version() const { return version_; }
  void SetCentreOffset(int32_t offset) { centreOffset_ = offset; }

  // Misbehaviour, for tests and demos.
  void SetSilent(bool on) { silent_ = on; }            // answers nothing at all
  void SetNoise(uint32_t bytes) { noise_ = bytes; }    // junk before every reply
  void SetDoubled(bool on) { doubled_ = on; }          // every reply twice
  void SetShortBy(uint32_t bytes) { shortBy_ = bytes; }  // every reply cut by that many
  void SetHello(std::string text) { hello_ = std::move(text); }
  // count junk bytes that contain neither "D" nor "l".
  static void MakeNoise(uint32_t count, uint32_t* seed, std::vector<uint8_t>* out);

  bool ReportsEnabled() const { return values_[16] > 0; }
  // Appends one "#" report: alternating "Torque" and "Create Effect" with a
  // counter; with a torque wave set, a "Torque" report of the wave at timeUs.
  void MakeReport(std::vector<uint8_t>* out, uint64_t timeUs = 0);
  // Torque reports that follow amplitude * sin(2 pi t / period), cut at the
  // 16-bit full scale (an amplitude above 32767 clips); amplitude 0: off.
  void SetTorqueWave(int32_t amplitude, uint32_t periodMs) {
    waveAmplitude_ = amplitude;
    wavePeriodMs_ = periodMs ? periodMs : 1;
  }

  // Applies one control line (see StandinControlHelp); false with *error set
  // when the line is not understood. Lines for the host (drop, back, late ...)
  // are not understood here.
  bool Control(const std::string& line, std::string* error);

 private:
  enum class State { kIdle, kProbe, kReadNumber, kReadSize, kWriteNumber, kWriteSize, kWriteValue };
  void Idle(uint8_t byte, std::vector<uint8_t>* out);
  void Reply(const std::vector<uint8_t>& bytes, const std::string& text, std::vector<uint8_t>* out);
  void Log(char direction, const uint8_t* bytes, size_t count, const std::string& text);
  void FlushJunk();

  int32_t values_[256];
  int32_t defaults_[256];
  std::vector<uint8_t> statusScript_{8};
  std::vector<uint8_t> calibrationScript_{1, 2, 3, 4, 5, 6, 8};
  size_t statusIndex_ = 0;
  uint32_t version_ = 0x0105;  // 1.5
  int32_t centreOffset_ = 0;
  std::string hello_ = "DuvarKemol";
  bool silent_ = false;
  bool doubled_ = false;
  uint32_t noise_ = 0;
  uint32_t shortBy_ = 0;
  uint32_t noiseSeed_ = 12345;
  uint32_t reportCount_ = 0;
  int32_t waveAmplitude_ = 0;
  uint32_t wavePeriodMs_ = 1000;
  // Every this many reports of the wave, one "Error" report instead (0: none).
  uint32_t waveErrorEvery_ = 0;

  State state_ = State::kIdle;
  size_t probeMatched_ = 0;
  uint8_t number_ = 0;
  uint8_t size_ = 0;
  std::vector<uint8_t> command_;  // bytes of the command being received
  std::vector<uint8_t> junk_;     // bytes between commands that mean nothing
  std::vector<uint8_t> received_;
  Note note_;
};

// Parses "1,2,3" (or space separated) into bytes; false on anything else.
bool ParseByteList(const std::string& text, std::vector<uint8_t>* out);
// The control language of the stand-in board, as --help prints it.
const char* StandinControlHelp();
