#pragma once
// The wheel board link: the serial channel to the board, the handshake, the
// parameter protocol with the parameter table, the once-a-second status
// refresh and the calibrate and centre commands. It knows no window: what it
// has to show goes to a WheelLinkView, which the pages implement.
#include <cstddef>
#include <cstdint>

#include "exec/deadline.h"
#include "wheel/board_reports.h"
#include "wheel/serial_channel.h"
#include "wheel/wheel_parameter.h"

constexpr uint32_t kWheelBaud = 115200;
constexpr char kProbeText[] = "orvenk?";        // 7 bytes, sent without terminator
constexpr char kProbeReply[] = "DuvarKemol";    // 10 characters
constexpr uint64_t kProbeWindowUs = 500 * 1000;  // from the moment the probe is written
constexpr uint32_t kProbeBufferSize = 128;       // collecting fails at 127 characters
constexpr uint64_t kReplyByteUs = 100 * 1000;    // per reply byte, and for the "S" answer
constexpr uint32_t kWaitNotBusyMs = 500;
// Polling loops sleep at most this long between looks at the port.
constexpr uint32_t kPollStepUs = 1000;

constexpr uint32_t kReadPauseMs = 5;       // after each parameter reply
constexpr uint32_t kWritePauseMs = 20;     // after each parameter write
constexpr uint32_t kDefaultsPauseMs = 400; // after "D"
constexpr uint32_t kCentrePauseMs = 100;   // after "c"
constexpr uint32_t kStatusPauseMs = 20;    // before a status refresh talks
// A board that stops answering in the middle of a bulk read is given up
// after this many replies in a row did not come (instead of 69 time-outs).
constexpr int kBulkMissesBeforeLost = 3;
constexpr int kBulkRequests = 69;  // the bulk read's "p" requests
// A board found by a handshake the ticks take is read over the following
// ticks, this many requests (about 6 ms each) a tick.
constexpr int kBulkRequestsPerTick = 12;

// Link states, in the order of their status texts (LinkStateText).
enum LinkState : uint8_t {
  kDisconnected = 0,
  kConnected = 1,    // a port was opened for a probe
  kWheelFound = 2,   // the board answered the probe
  kWheelReady = 3,   // status kStatusReady
  kWheelError = 4,   // status kStatusCalibrationError
};

// The board's answers to "S" that move the link state; 1 to 6 are the
// calibration's phases, and codes above 8 read as "Ready" but move nothing.
constexpr uint8_t kStatusCalibrationError = 7;
constexpr uint8_t kStatusReady = 8;

// "Disconnected", "Connected", "Wheel Found", "Wheel Ready", "Wheel Error".
const char* LinkStateText(uint8_t state);
// The status line text for a status code (codes above 8 read as 8, "Ready").
const char* StatusCodeText(uint8_t code);
// Kind name of a "#" report: "Torque", "Create Effect", "Error".
const char* ReportKindName(uint8_t kind);

// The texts of the main page that the link keeps up to date.
enum class LinkText { kStatusLine, kExternalGain, kFirmwareVersion };

class WheelLinkView {
 public:
  virtual ~WheelLinkView() = default;
  virtual void ShowLinkText(LinkText which, const char* text) = 0;
  // An entry got a new value from the board (or from a profile): show it.
  virtual void ShowParameter(const WheelParameter& entry) = 0;
};

class WheelLink {
 public:
  SerialChannel boardChannel;
  SerialChannel* channel = &boardChannel;     // tests put a fake here
  LinkClock* clock = &SystemLinkClock();      // tests put a stepped clock here
  WheelLinkView* view = nullptr;              // null: nothing is shown

  uint8_t wheelPort = 0;  // COM port of the board, 0 = none (DEVICE_COM_PORT)
  uint8_t linkState = kDisconnected;
  // Set until the pages exist and around every command, slider write, profile
  // write and modal dialog: the status refresh then does nothing at all. The
  // program sets it only through a StatusHold (below).
  bool statusHold = false;
  bool linkBusy = false;         // set while a status refresh talks to the board
  bool frameHidden = false;      // the window is hidden to the tray: no "S" polling
  uint32_t firmwareVersion = 0;  // low byte minor, next byte major; 0 = not read yet
  WheelParameterTable parameters;

  WheelParameter& operator[](WheelEntry e) { return parameters[e]; }

  // Told after every handshake whose board was then read whole (at start,
  // from the port list, after a re-plug); the profiles decide then whether
  // the board or the selected profile has the last word.
  void (*onBoardRead)(void* context) = nullptr;
  void* onBoardReadContext = nullptr;

  // The blocking handshake: 1 when the board answered on port within the
  // reply window (it blocks up to 500 ms).
  int ProbeWheel(uint32_t port);
  // A new choice in the port list: 0 ("None") closes the port and says
  // "Disconnected"; another port is probed and, when the board answers,
  // read (ReadNewBoard). 1 when a board answered.
  int ChooseWheelPort(uint8_t port);
  // After a handshake: every parameter read, then onBoardRead.
  void ReadNewBoard();
  // The status refresh's handshake does not block: it sends the probe and
  // the reply is taken tick by tick (ContinueProbe). A board found that way
  // is read over the ticks that follow (kBulkRequestsPerTick each) and
  // onBoardRead is told in the tick after the read, so no tick holds the
  // window for the whole read or for both a read and a profile's writes.
  // True while any of it waits for a tick.
  bool ProbePending() const { return probe_.pending || bulkCursor_ >= 0 || boardReadNotice_; }
  void ContinueProbe();
  // The start's handshake goes the same way, so the window answers from its
  // first showing: false when the probe could not go out (no port).
  bool StartHandshake(uint32_t port) { return StartProbe(port); }
  // Tells onBoardRead of a board read in an earlier tick; false when none.
  bool NoticeBoardRead();
  // A read spread over ticks is finished now and onBoardRead told (the exit,
  // before the selected profile takes the page's values).
  void SettleBoardRead();
  int ReadReply(uint32_t* destination, uint32_t count);  // 1 when all bytes came
  // The value, sign-extended; a reply that does not come leaves *value as it was.
  bool ReadParameter(uint8_t number, uint8_t sizeIndex, int32_t* value);
  int32_t ReadParameter(uint8_t number, uint8_t sizeIndex);  // 0 when no reply
  void RefreshParameter(WheelParameter& entry);
  void WriteParameter(WheelParameter& entry);
  // False when the bytes did not all go out (the port is gone).
  bool WriteParameterRaw(uint8_t number, uint8_t count, int32_t value);
  void ReadAllParameters();
  void WriteProfileParameters();
  // "D", then the whole table read back and shown (onBoardRead is not told:
  // the board is the same one, its values are the defaults).
  void RestoreBoardDefault();
  // While the debug level is above 0: every "#" report waiting, within
  // kReportBudgetUs, to the summary in Log.txt and to reportSink.
  void ReadBoardReports();
  ReportSink* reportSink = nullptr;
  void RefreshStatus();
  int WaitNotBusy();
  void StartCalibration();
  void CentreWheel();

 private:
  enum class ProbeOutcome { kPending, kFound, kFailed };
  struct Probe {
    bool pending = false;
    uint8_t port = 0;
    Deadline window;
    char reply[kProbeBufferSize];
    uint32_t length = 0;
    bool collecting = false;
  };
  bool StartProbe(uint32_t port);
  // Takes the reply bytes that have come; with wait it sleeps until the
  // reply is complete or the window has passed.
  ProbeOutcome PollProbe(bool wait);
  bool FinishPendingProbe();
  // A read of the bulk loops: false once the board has been given up.
  bool BulkRead(uint8_t number, uint8_t sizeIndex, int32_t* value);
  // Request i (0 to kBulkRequests - 1) of the bulk read, in the board's order.
  void ReadBulkRequest(int i);
  // The next budget requests of a read spread over ticks; true once it is
  // done (or the board was given up).
  bool ContinueBulkRead(int budget);
  void EndBulkRead();
  // The board is let go: port closed, "Disconnected", no firmware known.
  void Disconnect();
  bool BulkGivenUp() const { return bulkMisses_ >= kBulkMissesBeforeLost; }

  bool AwaitInput(uint64_t budgetUs);
  void DiscardStaleInput();
  void NoteLinkLost(const char* operation);
  // The refresh's part for a known port at debug level 0: a probe while no
  // board answers, else the "S" poll (none while the frame is hidden).
  void RefreshBoardStatus();
  // "V", asked after a status answer until the board has told its version.
  void ReadFirmwareVersion();
  void Show(LinkText which, const char* text);
  void Show(const WheelParameter& entry);

  BoardReportParser reportParser_;
  ReportSummary reportSummary_;
  Probe probe_;
  bool boardReadNotice_ = false;
  int bulkCursor_ = -1;  // the next request of a read spread over ticks; -1: none
  int bulkMisses_ = 0;  // replies missed in a row by the current bulk read
};

// Holds the status refresh off for its own lifetime and gives back on every
// way out what the flag was before, so holds nest (a dialog opened by a
// command, a profile written from it).
class StatusHold {
 public:
  explicit StatusHold(WheelLink& link) : link_(link), was_(link.statusHold) { link_.statusHold = true; }
  ~StatusHold() { link_.statusHold = was_; }
  StatusHold(const StatusHold&) = delete;
  StatusHold& operator=(const StatusHold&) = delete;

  // For a hold kept across ticks (a flash session): a hold begun before it
  // and ended meanwhile (the dialog whose Yes started the flash) gave back
  // its own "not held", so the hold is set again before each step...
  void Renew() { link_.statusHold = true; }
  // ...and, as that earlier hold is gone by its end, it may end with the
  // refresh running instead of giving back what it found.
  void EndUnheld() { was_ = false; }

 private:
  WheelLink& link_;
  bool was_;
};

// The opposite: lets the status refresh run inside a hold for its own
// lifetime (a refresh run once to look for a board that is coming back).
class StatusRelease {
 public:
  explicit StatusRelease(WheelLink& link) : link_(link), was_(link.statusHold) { link_.statusHold = false; }
  ~StatusRelease() { link_.statusHold = was_; }
  StatusRelease(const StatusRelease&) = delete;
  StatusRelease& operator=(const StatusRelease&) = delete;

 private:
  WheelLink& link_;
  bool was_;
};
