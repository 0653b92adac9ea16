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
#include "update/flash_view.h"
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
// A flash that fails says which step failed and where (the first line), and
// what that means for the wheel (the second).
constexpr char kUntouched[] = "Nothing was changed on the wheel.";
constexpr char kFlasherMissingFormat[] =
    "Could not flash the firmware: the flasher %s is missing or cannot be started.";
constexpr char kFlasherConfigMissingFormat[] = "Could not flash the firmware: %s is missing.";
constexpr char kNotFirmwareFormat[] = "Could not flash the firmware: %s is not firmware for the wheel (line %u: %s).";
constexpr char kNotPlainNameFormat[] = "Could not flash the firmware: \"%s\" is not a plain .hex file name.";
constexpr char kNotHostFormat[] = "Could not download the firmware: \"%s\" is not a host name.";
constexpr char kNotWrittenFormat[] = "Could not flash the firmware: %s could not be written in the program's folder.";
constexpr char kDownloadFailedFormat[] = "Could not download the firmware %s from %s (%s).";
constexpr char kFileUnreadableFormat[] = "Could not flash the firmware: %s could not be read.";
constexpr char kBoardNotListedFormat[] =
    "Could not flash the firmware: the wheel's port COM%d is not among the connected ports, please check "
    "that your device is connected.";
constexpr char kFlasherFailedFormat[] = "Could not flash the firmware: avrdude on COM%d ended with exit code %d.";
constexpr char kFlasherHungFormat[] = "Could not flash the firmware: avrdude on COM%d did not end within %u s.";
constexpr char kMayBeStranded[] =
    "The wheel may be waiting in its bootloader: Tillerset offers to write firmware on it once it sees it. "
    "Its output is in Log.txt.";
constexpr char kFlasherConfig[] = "Tools\\avrdude.conf";
// A board waiting in its bootloader with no board answering.
constexpr char kStrandedLastFormat[] =
    "Your wheel is waiting in its bootloader on COM%d and no firmware runs on it. Do you want to write the "
    "firmware %d.%d that was downloaded last ?";
constexpr char kStrandedFileFormat[] =
    "Your wheel is waiting in its bootloader on COM%d. Do you want to write a firmware file on it ?";
constexpr char kStrandedGone[] = "Could not flash the firmware: the wheel's bootloader is no longer there.";
// The last firmware downloaded, kept beside the program for a recovery.
constexpr char kLastFirmwareFile[] = "LastFirmware.ini";
// A firmware file a maker picks is read up to this size.
constexpr uint32_t kFirmwareFileMax = 1024 * 1024;
// After a device arrives, the lister looks for a stranded bootloader only
// once this long has passed without another arrival: a board that is just
// being reset leaves its bootloader on its own within about 8 s.
constexpr uint32_t kStrandedSettleMs = 10000;
// After the flasher, the board gets this long to answer before the window
// closes (the settings are still offered once it does).
constexpr uint32_t kBoardReturnMs = 30000;

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
// "..", ':' or quote; not a Windows device name such as "NUL.hex" or
// "com1.hex"), at most 63 characters, ending in ".hex".
bool IsPlainFirmwareName(const char* name);
// Writes the image whole or not at all (a flasher given a half-written or
// an older file of that name would flash the wrong firmware).
bool WriteFirmwareImage(const char* path, const char* hex, uint32_t count);

// avrdude's progress bars ("Writing | ####...", one '#' per 2 %), read from
// its output as it comes; a "Reading" bar before any "Writing" one is the
// device check, after it the verification.
struct FlasherProgress {
  int writePercent = 0;
  int verifyPercent = 0;
  bool writing = false;  // a "Writing" bar has begun
  bool verifying = false;
  void Feed(const char* data, size_t count);

 private:
  enum Bar : uint8_t { kNone, kWrite, kRead } bar_ = kNone;
  bool inBar_ = false;
  int hashes_ = 0;
  char tail_[10] = {};
};

struct DownloadJob;

class Updater {
 public:
  Updater(WheelLink& link, Settings& settings);
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  UpdateView* view = nullptr;
  FlashView* flashView = nullptr;
  ProcessRunner* processes = &SystemProcesses();
  SocketApi* sockets = &SystemSockets();
  SecureApi* secure = &SystemSecure();
  // Where the online script and firmware come from (tests put a canned server
  // here); FetchFromServer over the sockets and the HTTPS above by default.
  // host is a SERVER value or a script's firmware host (maybe https://). Returns a pool block
  // the caller frees, or null.
  char* (*fetch)(Updater& updater, const char* host, const char* path, uint32_t* length) = nullptr;
  const char* backupFile = kBoardBackupFile;
  const char* lastFirmwareFile = kLastFirmwareFile;

  // ---- port discovery (the lister's message goes to the view)
  uint8_t FindComPortFromIds(uint16_t vendorId, uint16_t productId);
  bool ListComPorts(PortList* list);

  // ---- the board
  // "Reset Board": the wheel channel closed, the board's port opened at 1200
  // baud and closed again; true when the port opened. No wait, no message.
  bool ResetBoard();
  // Checks the image and the flasher, writes the image to the named file in
  // the working folder, saves the board's settings, resets the board, finds
  // the bootloader's port and runs the flasher on it, waiting for each step
  // (the tick-driven flash below, run to its end). True only when the
  // flasher ran and reported success.
  bool FlashFirmware(const char* firmwarePath, const char* hex, uint32_t count);

  // ---- a firmware update that runs across ticks in its own window
  // Downloads the firmware (a worker thread does the fetch), then flashes it
  // as above and waits for the board to put its settings back. version is
  // the offered one (kept with the file for a recovery). False when a flash
  // runs already.
  bool StartFirmwareDownload(const char* host, const char* name, int32_t version);
  // A firmware file the user picked (any folder): the same checks as a
  // download; it is written into the program's folder under its own name
  // (or "firmware.hex") and flashed from there.
  bool StartFlashFromFile(const char* path);
  // "Flash firmware from file...": the file dialog, then StartFlashFromFile.
  void FlashFileCommand();
  // True from a start until the window has closed.
  bool Flashing() const;
  // One tick's work of the flash (or of the look for a stranded board);
  // true while a flash runs, when the tick's other work holds off.
  bool Tick();
  // Before anything was touched (download, checks) the user may stop.
  bool MayCancel() const;
  void CancelFlash();
  FlashStage Stage() const;
  int Percent() const;

  // ---- a board stranded in its bootloader
  // Runs the lister now (at start) or once devices have settled (after an
  // arrival), when no board answers; a bootloader it shows is offered the
  // last downloaded firmware or a file.
  void LookForStrandedBoard(bool afterArrival);

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

  struct Session;  // the state of a running flash

 private:
  char* Fetch(const char* host, const char* path, uint32_t* length);
  static void CheckThread(void* updater);
  bool TakeOnlineScript(const char* text, uint32_t length, const char* path, uint64_t elapsedMs,
                        UpdateServerRecord* record);
  void MakeOffers(const UpdateServerRecord& record, bool silent);
  bool SaveBoardSettings();
  // The restore question (and on No whether to keep the backup); true with
  // the settings to write when the user wants them back.
  bool AskRestore(BoardSettings* settings);
  void EndRestore(int missed, int count);
  bool Begin(bool download, bool recovery);
  bool TakeImage(const char* name, char* image, uint32_t count);
  void Step();
  bool StepProcess();
  void StartLister();
  void StartFlasher();
  void Show();
  void Finish(bool ok, const char* message);
  void OfferStrandedBoard(uint8_t bootloaderPort);
  void RememberLastFirmware();
  // The last downloaded firmware's file (still there) and version.
  bool ReadLastFirmware(char* name, size_t size, int32_t* version);

  Session* session_ = nullptr;
  RunningProcess* strandedLister_ = nullptr;
  uint64_t strandedDueUs_ = 0;  // 0: no look pending
  bool ticking_ = false;        // a box of the flash is open inside a tick
  char* strandedOutput_ = nullptr;
  size_t strandedSize_ = 0;
  uint8_t stranded_ = 0;        // the bootloader a file is being written to

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
