#pragma once
// A stand-in for the servo drive: its side of the SimpleMotion bus as a plain
// state machine (bytes in, reply bytes out), so it runs behind a
// pseudo-terminal (standin_drive_host_posix.h, tools/standin_drive), behind a
// test's fake port, or anywhere else without hardware. Makers use it to try
// developer mode without a drive.
//
// What it answers: buffered commands (0x24) addressed to its node (2), with a
// good CRC, one return value per sub-command, in the smallest of the four
// sizes that holds the value:
//   set parameter address   -> 0
//   value for parameter 9   -> the value of the parameter whose address it
//                              is (so a read's fourth value is the wanted one)
//   value for any other     -> 0; the parameter is stored, except read-only
//                              3 (version) and 901 (current)
// Parameters kept: 3 version, 490 torque bandwidth, 554 drive control (2 =
// restart), 565 encoder pulses, 2533 faults (3 clears them to 0), 901 motor
// current (a sine wave over the reads, so it moves and changes sign, or a
// fixed value); any other address is stored as written, 0 until then.
// Packets for another node, with a bad CRC or another command are noted and
// left unanswered.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class StandinDrive {
 public:
  StandinDrive();

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
  // Forgets a half-received packet (a line that was closed and opened again).
  void Restart() { packet_.clear(); }

  int32_t Parameter(uint16_t address) const;
  void SetParameter(uint16_t address, int32_t value) { values_[address] = value; }
  // The current read k (k = 0, 1, ...) is amplitude * sin(2 pi k / period).
  void SetCurrentWave(int32_t amplitude, uint32_t periodReads);
  void SetCurrentFixed(int32_t raw);
  uint32_t Restarts() const { return restarts_; }
  uint32_t PacketsAnswered() const { return answered_; }

  // Misbehaviour, for tests and demos.
  enum class CrcMode { kGood, kSwapped, kWrong };
  void SetSilent(bool on) { silent_ = on; silentAfter_ = -1; }
  void SetSilentAfter(uint32_t packets) { silentAfter_ = static_cast<int64_t>(packets); }
  bool Silent() const { return silent_; }
  void SetCrcMode(CrcMode mode) { crcMode_ = mode; }
  void SetShortBy(uint32_t bytes) { shortBy_ = bytes; }        // every reply cut by that many bytes
  void SetFewerValues(uint32_t count) { fewerValues_ = count; } // that many return values left off
  void SetNoise(uint32_t bytes) { noise_ = bytes; }            // junk bytes before every reply
  void SetNode(uint8_t node) { node_ = node; }

  // Applies one control line (see StandinDriveControlHelp); false with
  // *error set when the line is not understood. Lines for the host (late,
  // drop, back, quit) are not understood here.
  bool Control(const std::string& line, std::string* error);

 private:
  void Packet(std::vector<uint8_t>* out);
  void Answer(const std::vector<int32_t>& values, const std::string& text, std::vector<uint8_t>* out);
  int32_t NextCurrent();
  void Log(char direction, const uint8_t* bytes, size_t count, const std::string& text);

  std::map<uint16_t, int32_t> values_;
  std::vector<uint8_t> packet_;  // bytes of the packet being received
  std::vector<uint8_t> received_;
  uint8_t node_ = 2;
  bool waveCurrent_ = true;
  int32_t amplitude_ = 2500;
  uint32_t periodReads_ = 40;
  uint32_t currentReads_ = 0;
  int32_t fixedCurrent_ = 0;
  uint32_t restarts_ = 0;
  uint32_t answered_ = 0;
  bool silent_ = false;
  int64_t silentAfter_ = -1;  // packets still answered before falling silent; -1 = off
  CrcMode crcMode_ = CrcMode::kGood;
  uint32_t shortBy_ = 0;
  uint32_t fewerValues_ = 0;
  uint32_t noise_ = 0;
  uint32_t noiseSeed_ = 4242;
  Note note_;
};

// Return-value bytes of v in the smallest size that holds it (1, 2, 3 or 4
// bytes, top bits 11, 10, 01, 00).
void AppendReturnValue(int32_t v, std::vector<uint8_t>* out);
// The control language of the stand-in drive, as --help prints it.
const char* StandinDriveControlHelp();
