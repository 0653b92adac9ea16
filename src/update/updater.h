#pragma once
// Updates and firmware: the update check against the update server, the
// board's reset into its bootloader, firmware flashing with the outside
// flasher, and COM ports found by their USB ids. It works on the wheel link
// it is given (its channel, status hold flag and firmware version) and reads
// the update server and the reset delay from the settings; what it shows
// goes to an UpdateView.
#include <atomic>
#include <cstdint>

#include "profiles/settings.h"
#include "update/board_backup.h"
#include "update/port_discovery.h"
#include "update/process_io.h"
#include "update/secure_fetch.h"
#include "update/socket_io.h"
#include "update/update_view.h"
#include "update/worker_thread.h"
#include "wheel/wheel_link.h"

// The record the online script fills, one per check.
constexpr size_t kRecordAddressMax = 63;
constexpr size_t kRecordUrlMax = 127;
constexpr size_t kRecordFirmwarePathMax = 63;
constexpr char kRecordDefaultAddress[] = "192.168.1.10";
constexpr char kMissingParameter[] = "Missing parameter";
struct UpdateServerRecord {
  char address[kRecordAddressMax + 1];  // ADRESS (read, not used)
  int32_t port = 4207;                  // PORT (read, not used: fetches go to port 80)
  uint32_t toolVersion = 0;             // VERSION a,b,c,d packed a<<24|b<<16|c<<8|d
  int32_t firmwareVersion = 0;          // FW_VERSION, packed the same way
  char toolUrl[kRecordUrlMax + 1] = "";           // UPDATE: value 5, language code, "/", value 6
  char firmwareHost[kRecordUrlMax + 1] = "";      // FW_UPDATE value 5
  char firmwarePath[kRecordFirmwarePathMax + 1] = "";  // FW_UPDATE value 6
  UpdateServerRecord();
};

// The server list: one update server host, three online scripts.
constexpr int kServerListRows = 3;
extern const char* const kServerListPaths[kServerListRows];  // "ts_servers.ini", ...
// The row for an application name ("Tillerset" is row 0, compared without
// regard to case); any other name gives row 0 as well.
int ServerListRow(const char* applicationName);

// Sections "SERVER" and "UPDATE" of an online script (text of length bytes,
// named for the log) into record; false when no document could be made.
bool ParseOnlineScript(const char* name, const char* text, uint32_t length, UpdateServerRecord* record);

// The program's own version as the server writes it (0, 0, major, minor).
uint32_t OwnToolVersion();

// The messages of the check and the flashing.
constexpr char kToolQuestion[] = "New configuration tool available, do you want to download it ?";
constexpr char kFirmwareQuestion[] = "New firmware available, do you want to download it ?";
constexpr char kFlashFailed[] = "Could not flash the firmware, please check that your device is connected";
constexpr char kNoUpdate[] = "No update available";
constexpr char kServerUnreachable[] = "Could not reach the update server";
constexpr char kCertificateNotTrusted[] = "The update server's certificate is not trusted";
constexpr char kFirmwareNotSecure[] =
    "The update server names the firmware on an address that is not https://; it is not downloaded";
// The line under an offer: what runs now and what is offered, in UTF-8.
constexpr char kToolOfferFormat[] = "%s\n\nTillerset %s \xE2\x86\x92 %s";
constexpr char kFirmwareOfferFormat[] = "%s\n\nFirmware %s \xE2\x86\x92 %s";
// A packed version a,b,c,d as text: "c.d" when a and b are 0, else "a.b.c.d".
void FormatPackedVersion(uint32_t packed, char* out, size_t size);
constexpr char kResetFailedFormat[] = "Could not reset your board on COM%d";
constexpr char kNoBootloader[] = "Could not find any board with a bootloader";

// The flasher and its command line.
constexpr char kFlasherProgram[] = "Tools\\avrdude";
constexpr int kFlasherArgCount = 9;
constexpr size_t kFlasherArgSize = 96;
// A flash takes seconds; one that has not ended after this is ended and failed.
constexpr uint32_t kFlasherTimeoutMs = 180000;
constexpr uint32_t kBootloaderBaud = 1200;
// RESET_DELAY comes from config.ini; the window waits no longer than this.
constexpr uint32_t kMaxResetDelayMs = 60000;

struct FlasherArguments {
  char text[kFlasherArgCount][kFlasherArgSize];
  const char* list[kFlasherArgCount + 1];  // null-ended, for ProcessRunner
};
// "avrdude", "-CTools\avrdude.conf", "-v", "-patmega32u4", "-cavr109",
// "-PCOM<port>", "-b57600", "-D", "-Uflash:w:<file>:i".
bool MakeFlasherArguments(uint8_t bootloaderPort, const char* firmwareFile, FlasherArguments* out);

// The address the shell may open: "http://" or "https://" and nothing a
// command line could take for more (no spaces, quotes or control bytes).
bool IsDownloadUrl(const char* url);
// A firmware file name as the server may give it: a plain name in the
// working folder (letters, digits, '.', '_', '-', '+', '~'; no folder, drive,
// "..", ':' or quote), at most 63 characters, ending in ".hex".
bool IsPlainFirmwareName(const char* name);

class Updater {
 public:
  Updater(WheelLink& link, Settings& settings);
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  UpdateView* view = nullptr;
  ProcessRunner* processes = &SystemProcesses();
  SocketApi* sockets = &SystemSockets();
  SecureApi* secure = &SystemSecure();
  // Where the online script and firmware come from (tests put a canned server
  // here); FetchFromServer over the sockets and the HTTPS above by default.
  // host is a SERVER value or a script's firmware host (maybe https://). Returns a pool block
  // the caller frees, or null.
  char* (*fetch)(Updater& updater, const char* host, const char* path, uint32_t* length) = nullptr;
  const char* backupFile = kBoardBackupFile;

  // ---- port discovery (the lister's message goes to the view)
  uint8_t FindComPortFromIds(uint16_t vendorId, uint16_t productId);
  bool ListComPorts(PortList* list);

  // ---- the board
  // "Reset Board": the wheel channel closed, the board's port opened at 1200
  // baud and closed again; true when the port opened. No wait, no message.
  bool ResetBoard();
  // Checks the image, writes it to the named file in the working folder,
  // saves the board's settings, resets the board, finds the bootloader's new
  // port and runs the flasher on it. True only when the flasher ran and
  // reported success.
  bool FlashFirmware(const char* firmwarePath, const char* hex, uint32_t count);

  // ---- the update check
  bool ReadOnlineScript(int listIndex, UpdateServerRecord* record, const char* host, const char* path);
  // Starts a check (silent for the automatic one): the online script is
  // fetched on a worker thread while the window goes on; PollCheck makes the
  // offers once it is there. False when a check already runs.
  bool StartCheck(bool silent);
  // From the tick, on the user-interface thread, while no command or dialog
  // holds the status: a fetched script is logged, read and offered.
  void PollCheck();
  bool CheckRunning() const { return checkState_.load() != kCheckIdle; }
  // Waits for a running fetch (at most its bound) and drops its result: the
  // fetch uses the runtime's memory, so this comes before the runtime ends.
  void EndCheck();
  // The whole check at once: StartCheck, the wait, PollCheck.
  void CheckForUpdates(bool silent);

  // ---- the settings after a firmware update
  // True from a reset for a flash until the question has been asked.
  bool RestorePending() const { return restorePending_; }
  // Once the board answers again after a flash: asks whether to put the
  // saved settings back and does so. Called by the status refresh.
  void OfferRestore();

 private:
  char* Fetch(const char* host, const char* path, uint32_t* length);
  static void CheckThread(void* updater);
  bool TakeOnlineScript(const char* text, uint32_t length, const char* path, uint64_t elapsedMs,
                        UpdateServerRecord* record);
  void MakeOffers(const UpdateServerRecord& record, bool silent);
  bool SaveBoardSettings();
  bool Flash(const char* firmwarePath, const char* hex, uint32_t count);

  WheelLink& link_;
  Settings& settings_;
  bool restorePending_ = false;

  // The running check. The worker writes text, length and reason, then says
  // fetched; the user-interface thread reads them only after that.
  enum : int { kCheckIdle = 0, kCheckFetching = 1, kCheckFetched = 2, kCheckAnswering = 3 };
  std::atomic<int> checkState_{kCheckIdle};
  WorkerThread checkThread_;
  bool checkSilent_ = false;
  char checkHost_[kUpdateServerMax + 1] = "";
  const char* checkPath_ = "";
  uint64_t checkStartMs_ = 0;
  char* checkText_ = nullptr;
  uint32_t checkLength_ = 0;
  const char* checkReason_ = "";
};
