#pragma once
// The stand-in board's bootloader: what an ATmega32u4 board shows after the
// 1200-baud open and close, a serial port that speaks AVR109 (the protocol of
// Atmel's application note for self-programming, which avrdude speaks as
// "-c avr109") well enough for avrdude to write, read back and verify the
// application area. A plain state machine like the board model: bytes in,
// reply bytes out.
//
// Memory: 32 KiB of flash, the top 4 KiB (from 0x7000) taken by the
// bootloader itself, so writes there are dropped (and noted) as the real
// one does; 1 KiB of EEPROM. Signature 1E 95 87.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class StandinBootloader {
 public:
  static constexpr uint32_t kFlashSize = 32 * 1024;
  static constexpr uint32_t kApplicationEnd = 0x7000;
  static constexpr uint32_t kEepromSize = 1024;
  static constexpr uint16_t kBlockSize = 128;

  StandinBootloader();

  using Note = std::function<void(char direction, const uint8_t* bytes, size_t count, const std::string& text)>;
  void SetNote(Note note) { note_ = std::move(note); }

  void Receive(const uint8_t* data, size_t count, std::vector<uint8_t>* out);

  bool ExitRequested() const { return exit_; }  // "E" came: the application starts
  uint32_t BytesWritten() const { return written_; }
  uint32_t BytesRefused() const { return refused_; }  // writes into the bootloader's own area
  const std::vector<uint8_t>& Flash() const { return flash_; }
  // The flash as it is, with the erased state for a new session.
  void StartSession();

 private:
  void Command(std::vector<uint8_t>* out);
  size_t NeededBytes() const;
  void Log(char direction, const uint8_t* bytes, size_t count, const std::string& text);

  std::vector<uint8_t> flash_;
  std::vector<uint8_t> eeprom_;
  std::vector<uint8_t> command_;
  uint32_t address_ = 0;  // word address for flash, byte address for EEPROM
  uint8_t lowByte_ = 0xFF;
  std::vector<uint8_t> page_;  // words given with "c"/"C", written with "m"
  bool exit_ = false;
  uint32_t written_ = 0;
  uint32_t refused_ = 0;
  Note note_;
};
