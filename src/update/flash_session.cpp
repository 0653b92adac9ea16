// A firmware update as a state machine the user-interface thread's tick
// drives: the download on a worker thread, the outside programs as children
// looked in on without waiting, the reset wait counted on the link's clock.
// No step holds the thread for longer than one exchange with the board.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "script/script.h"
#include "update/http_client.h"
#include "update/intel_hex.h"
#include "update/updater.h"
#include "update/worker_thread.h"

namespace {

constexpr size_t kChunkMax = 64 * 1024;   // one look at a child's output
constexpr size_t kLogLineMax = 255;        // the flasher's output, line by line
constexpr uint32_t kStepPauseMs = 10;      // FlashFirmware's wait between steps
constexpr uint32_t kBoardLookMs = 1000;    // the board's return, looked for once a second
constexpr size_t kMessageMax = 512;
constexpr int kRestorePerTick = 3;         // 20 ms each on the board

uint64_t Ms(LinkClock& clock) { return clock.NowUs() / 1000; }

// Stages a process runs in: what its end leads to.
enum class Running : uint8_t { kNothing, kListerBefore, kListerAfter, kFlasher };

}  // namespace

// The fetch runs where it may block for its 2000 ms bound; it never enters
// the log. The worker owns nothing but this record, which the tick frees
// once it has joined the thread.
struct DownloadJob {
  char host[kRecordUrlMax + 1];
  char path[kRecordFirmwarePathMax + 1];
  SocketApi* sockets;
  SecureApi* secure;
  char* text = nullptr;
  uint32_t length = 0;
  const char* reason = "";
  std::atomic<bool> done{false};
  WorkerThread thread;
};

struct Updater::Session {
  explicit Session(WheelLink& link) : hold(link) {}
  StatusHold hold;              // the status refresh stands aside for the whole flash
  FlashStage stage = FlashStage::kChecking;
  int percent = 0;
  bool recovery = false;
  bool toEnd = false;           // FlashFirmware: done once the flasher ended
  bool saved = false;
  char name[kRecordFirmwarePathMax + 1] = "";
  char host[kRecordUrlMax + 1] = "";
  int32_t version = 0;
  char* image = nullptr;        // pool block
  uint32_t imageSize = 0;
  DownloadJob* download = nullptr;
  RunningProcess* process = nullptr;
  Running running = Running::kNothing;
  char* chunk = nullptr;        // pool block of kChunkMax
  size_t listed = 0;            // the lister's output so far, in chunk
  uint64_t sinceMs = 0;         // when the current wait began
  PortList before;
  uint8_t boardPort = 0;
  uint8_t bootloaderPort = 0;
  FlasherProgress progress;
  char line[kLogLineMax + 1];
  size_t lineLength = 0;
  uint64_t lastLookMs = 0;
  BoardSettings restore;         // being put back, a few per tick
  int restoreNext = -1;          // -1: not writing
};

const char* FlashStageText(FlashStage stage) {
  switch (stage) {
    case FlashStage::kDownloading: return "Downloading the firmware...";
    case FlashStage::kChecking: return "Checking the file...";
    case FlashStage::kSaving: return "Saving the board's settings...";
    case FlashStage::kResetting: return "Resetting the board...";
    case FlashStage::kWaitingForBootloader: return "Waiting for its bootloader...";
    case FlashStage::kWriting: return "Writing the firmware...";
    case FlashStage::kVerifying: return "Verifying the firmware...";
    case FlashStage::kWaitingForBoard: return "Waiting for the board...";
    case FlashStage::kRestoring: return "Putting the settings back...";
    default: return "";
  }
}

void FlasherProgress::Feed(const char* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const char c = data[i];
    std::memmove(tail_, tail_ + 1, sizeof tail_ - 1);
    tail_[sizeof tail_ - 1] = c;
    if (inBar_) {
      if (c == '#') {
        if (hashes_ < 50) ++hashes_;
        const int percent = hashes_ * 2;
        if (bar_ == kWrite) writePercent = percent;
        if (bar_ == kRead && verifying) verifyPercent = percent;
        continue;
      }
      if (c == '|' || c == '\n') inBar_ = false;
      continue;
    }
    if (std::memcmp(tail_ + 1, "Writing |", 9) == 0) {
      bar_ = kWrite;
      writing = true;
      verifying = false;
    } else if (std::memcmp(tail_ + 1, "Reading |", 9) == 0) {
      bar_ = kRead;
      // The first read checks the device; the one after writing verifies it.
      verifying = writing;
    } else {
      continue;
    }
    inBar_ = true;
    hashes_ = 0;
  }
}

namespace {

void RunDownload(void* argument) {
  DownloadJob* job = static_cast<DownloadJob*>(argument);
  job->text = FetchFromServer(job->host, job->path, &job->length, *job->sockets, *job->secure, &job->reason);
  job->done.store(true);
}

// The flasher's output goes to the log a line at a time, as it comes.
void LogOutput(Updater::Session& s, const char* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const char c = data[i];
    const bool end = c == '\n' || c == '\r';
    if (!end) s.line[s.lineLength++] = c;
    if (end || s.lineLength == kLogLineMax) {
      if (s.lineLength > 0) LogPrintf(0, "avrdude: %.*s", static_cast<int>(s.lineLength), s.line);
      s.lineLength = 0;
    }
  }
}

}  // namespace

bool Updater::Flashing() const { return session_ != nullptr; }
FlashStage Updater::Stage() const { return session_ ? session_->stage : FlashStage::kIdle; }
int Updater::Percent() const { return session_ ? session_->percent : 0; }

bool Updater::MayCancel() const {
  return session_ && (session_->stage == FlashStage::kDownloading || session_->stage == FlashStage::kChecking);
}

void Updater::CancelFlash() {
  if (!MayCancel()) return;
  LogPrintf(0, "FlashFirmware: cancelled before anything was changed");
  Finish(false, nullptr);
}

bool Updater::Begin(bool download, bool recovery) {
  if (session_ != nullptr) return false;
  session_ = new Session(link_);
  session_->recovery = recovery;
  session_->stage = download ? FlashStage::kDownloading : FlashStage::kChecking;
  session_->chunk = static_cast<char*>(AllocMem(kMainPoolId, kChunkMax));
  if (session_->chunk == nullptr) {
    delete session_;
    session_ = nullptr;
    return false;
  }
  Show();
  return true;
}

void Updater::Show() {
  if (flashView && session_) flashView->ShowFlash(session_->stage, session_->percent, MayCancel());
}

bool Updater::StartFirmwareDownload(const char* host, const char* name, int32_t version) {
  if (!Begin(true, false)) return false;
  Session& s = *session_;
  std::snprintf(s.host, sizeof s.host, "%s", host ? host : "");
  std::snprintf(s.name, sizeof s.name, "%s", name ? name : "");
  s.version = version;
  UpdateServerAddress server;
  const bool hostOk = ParseUpdateServer(s.host, &server);
  if (!hostOk || !IsPlainFirmwareName(name)) {
    char text[kMessageMax];
    std::snprintf(text, sizeof text, hostOk ? kNotPlainNameFormat : kNotHostFormat, hostOk ? s.name : s.host);
    LogPrintf(0, "FlashFirmware: the firmware \"%s\" on \"%s\" is refused", s.name, s.host);
    Finish(false, text);
    return true;
  }
  if (fetch != nullptr) {
    // A canned server (tests) answers at once.
    uint32_t length = 0;
    char* text = fetch(*this, s.host, s.name, &length);
    if (text == nullptr) {
      char message[kMessageMax];
      std::snprintf(message, sizeof message, kDownloadFailedFormat, s.name, s.host, "no answer");
      Finish(false, message);
      return true;
    }
    TakeImage(s.name, text, length);
    return true;
  }
  DownloadJob* job = new DownloadJob;
  std::snprintf(job->host, sizeof job->host, "%s", s.host);
  std::snprintf(job->path, sizeof job->path, "%s", s.name);
  job->sockets = sockets;
  job->secure = secure;
  if (!StartWorkerThread(&job->thread, RunDownload, job)) {
    delete job;
    Finish(false, "Could not download the firmware: no thread could be started.");
    return true;
  }
  s.download = job;
  s.sinceMs = Ms(*link_.clock);
  return true;
}

bool Updater::StartFlashFromFile(const char* path) {
  if (session_ != nullptr || path == nullptr) return false;
  // A name the flasher's command line can carry: the file's own when it is
  // plain, otherwise a fixed one.
  const char* base = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
  }
  const char* name = IsPlainFirmwareName(base) ? base : "firmware.hex";
  FILE* file = os::OpenFile(path, "rb");
  char* image = static_cast<char*>(AllocMem(kMainPoolId, kFirmwareFileMax + 1));
  uint32_t size = 0;
  bool read = file != nullptr && image != nullptr;
  if (read) {
    size = static_cast<uint32_t>(std::fread(image, 1, kFirmwareFileMax + 1, file));
    read = std::ferror(file) == 0 && size <= kFirmwareFileMax;
  }
  if (file) std::fclose(file);
  const bool recovery = stranded_ != 0;
  if (!Begin(false, recovery)) {
    if (image) FreeMem(image);
    return false;
  }
  session_->bootloaderPort = stranded_;
  std::snprintf(session_->name, sizeof session_->name, "%s", name);
  LogPrintf(0, "FlashFirmware: from the file %s", path);
  if (!read) {
    if (image) FreeMem(image);
    char text[kMessageMax];
    std::snprintf(text, sizeof text, kFileUnreadableFormat, path);
    Finish(false, text);
    return true;
  }
  TakeImage(name, image, size);
  return true;
}

void Updater::FlashFileCommand() {
  char path[kPickedPathMax] = "";
  if (session_ == nullptr && view != nullptr && view->PickFirmwareFile(path, sizeof path)) StartFlashFromFile(path);
}

bool Updater::TakeImage(const char* name, char* image, uint32_t count) {
  Session& s = *session_;
  if (name != s.name) std::snprintf(s.name, sizeof s.name, "%s", name);
  s.image = image;
  s.imageSize = count;
  s.stage = FlashStage::kChecking;
  s.percent = 5;
  Show();
  return true;
}

bool Updater::FlashFirmware(const char* firmwarePath, const char* hex, uint32_t count) {
  if (!Begin(false, false)) return false;
  session_->toEnd = true;
  char* copy = static_cast<char*>(AllocMem(kMainPoolId, count + 1));
  if (copy == nullptr) {
    Finish(false, nullptr);
    return false;
  }
  if (count) std::memcpy(copy, hex, count);
  TakeImage(firmwarePath ? firmwarePath : "", copy, count);
  bool ok = false;
  while (session_ != nullptr) {
    Step();
    if (session_ != nullptr && session_->toEnd && session_->stage == FlashStage::kWaitingForBoard) {
      ok = true;
      Finish(true, nullptr);
      break;
    }
    if (session_ != nullptr) link_.clock->SleepMs(kStepPauseMs);
  }
  return ok;
}

bool Updater::Tick() {
  if (ticking_) return session_ != nullptr;
  ticking_ = true;
  if (session_ != nullptr) {
    Step();
  } else if (strandedLister_ != nullptr) {
    int exitCode = 0;
    // The output goes into a block of its own until the lister ends.
    if (strandedOutput_ == nullptr) strandedOutput_ = static_cast<char*>(AllocMem(kMainPoolId, kChunkMax));
    ProcessOutput into(strandedOutput_ ? strandedOutput_ + strandedSize_ : nullptr,
                       strandedOutput_ ? kChunkMax - strandedSize_ : 0);
    const bool ended = strandedLister_->Poll(&into, &exitCode);
    strandedSize_ += into.Size();
    if (ended) {
      delete strandedLister_;
      strandedLister_ = nullptr;
      PortList ports;
      if (strandedOutput_) ReadPortList(strandedOutput_, strandedSize_, &ports);
      if (strandedOutput_) FreeMem(strandedOutput_);
      strandedOutput_ = nullptr;
      strandedSize_ = 0;
      if (ports.bootloaderPort != 0 && link_.linkState < kWheelFound) OfferStrandedBoard(ports.bootloaderPort);
    }
  } else if (strandedDueUs_ != 0 && link_.clock->NowUs() >= strandedDueUs_ && !link_.ProbePending()) {
    // (A handshake still out, the start's, may yet find the board.)
    strandedDueUs_ = 0;
    if (link_.linkState < kWheelFound) {
      const char* const args[] = {kPortListerName, nullptr};
      strandedLister_ = processes->Start(kPortListerProgram, args, false);
    }
  }
  ticking_ = false;
  return session_ != nullptr;
}

void Updater::LookForStrandedBoard(bool afterArrival) {
  if (session_ != nullptr || link_.linkState >= kWheelFound) return;
  const uint64_t now = link_.clock->NowUs();
  strandedDueUs_ = afterArrival ? now + uint64_t{kStrandedSettleMs} * 1000 : (now ? now : 1);
}

void Updater::OfferStrandedBoard(uint8_t bootloaderPort) {
  if (view == nullptr) return;
  LogPrintf(0, "FlashFirmware: a bootloader waits on COM%d and no board answers", bootloaderPort);
  char name[kRecordFirmwarePathMax + 1] = "";
  int32_t version = 0;
  const bool haveLast = ReadLastFirmware(name, sizeof name, &version);
  char text[kMessageMax];
  if (haveLast) {
    std::snprintf(text, sizeof text, kStrandedLastFormat, bootloaderPort, static_cast<int>((version >> 8) & 0xFF),
                  static_cast<int>(version & 0xFF));
    if (view->Ask(text)) {
      stranded_ = bootloaderPort;
      StartFlashFromFile(name);
      stranded_ = 0;
      return;
    }
  }
  std::snprintf(text, sizeof text, kStrandedFileFormat, bootloaderPort);
  char path[kPickedPathMax] = "";
  if (!view->Ask(text) || !view->PickFirmwareFile(path, sizeof path)) return;
  stranded_ = bootloaderPort;
  StartFlashFromFile(path);
  stranded_ = 0;
}

void Updater::StartLister() {
  Session& s = *session_;
  const char* const args[] = {kPortListerName, nullptr};
  s.listed = 0;
  s.process = processes->Start(kPortListerProgram, args, false);
  if (s.process == nullptr) {
    Finish(false, kPortListerMissing);
    return;
  }
  s.sinceMs = Ms(*link_.clock);
}

void Updater::StartFlasher() {
  Session& s = *session_;
  FlasherArguments args;
  if (!MakeFlasherArguments(s.bootloaderPort, s.name, &args)) {
    Finish(false, nullptr);
    return;
  }
  LogPrintf(0, "avrdude :");
  LogPrintf(0, "Tools\\avrdude -CTools\\avrdude.conf -v -patmega32u4 -cavr109 %s -b57600 -D%s", args.list[5],
            args.list[8]);
  s.process = processes->Start(kFlasherProgram, args.list, true);
  if (s.process == nullptr) {
    char text[kMessageMax];
    std::snprintf(text, sizeof text, kFlasherMissingFormat, kFlasherProgram);
    LogPrintf(0, "FlashFirmware: %s could not be started", kFlasherProgram);
    Finish(false, text);
    return;
  }
  s.running = Running::kFlasher;
  s.stage = FlashStage::kWriting;
  s.percent = 25;
  s.sinceMs = Ms(*link_.clock);
  Show();
}

// Looks in on the running child; true when it has ended (and was dealt with).
bool Updater::StepProcess() {
  Session& s = *session_;
  int exitCode = -1;
  bool ended = false;
  if (s.running == Running::kFlasher) {
    ProcessOutput out(s.chunk, kChunkMax);
    ended = s.process->Poll(&out, &exitCode);
    LogOutput(s, out.Data(), out.Size());
    s.progress.Feed(out.Data(), out.Size());
    const FlashStage stage = s.progress.verifying ? FlashStage::kVerifying : FlashStage::kWriting;
    const int percent = s.progress.verifying ? 75 + s.progress.verifyPercent / 5 : 25 + s.progress.writePercent / 2;
    if (stage != s.stage || percent != s.percent) {
      s.stage = stage;
      s.percent = percent;
      Show();
    }
    if (!ended && Ms(*link_.clock) - s.sinceMs > kFlasherTimeoutMs) {
      s.process->Kill();
      delete s.process;
      s.process = nullptr;
      s.running = Running::kNothing;
      char text[kMessageMax];
      std::snprintf(text, sizeof text, kFlasherHungFormat, s.bootloaderPort, kFlasherTimeoutMs / 1000);
      LogPrintf(0, "FlashFirmware: avrdude did not end within %u ms", kFlasherTimeoutMs);
      Finish(false, text);
      return true;
    }
  } else {
    ProcessOutput out(s.chunk + s.listed, kChunkMax - s.listed);
    ended = s.process->Poll(&out, &exitCode);
    s.listed += out.Size();
    if (!ended && Ms(*link_.clock) - s.sinceMs > kPortListerTimeoutMs) {
      s.process->Kill();
      ended = true;
    }
  }
  if (!ended) return false;
  delete s.process;
  s.process = nullptr;
  const Running was = s.running;
  s.running = Running::kNothing;
  char text[kMessageMax];
  if (was == Running::kListerBefore) {
    ReadPortList(s.chunk, s.listed, &s.before);
    if (!s.before.Contains(s.boardPort)) {
      LogPrintf(0, "FlashFirmware: the board's port COM%d is not among the ports", s.boardPort);
      std::snprintf(text, sizeof text, kBoardNotListedFormat, s.boardPort);
      Finish(false, text);
      return true;
    }
    s.stage = FlashStage::kSaving;
    s.percent = 10;
    Show();
  } else if (was == Running::kListerAfter) {
    PortList after;
    ReadPortList(s.chunk, s.listed, &after);
    s.bootloaderPort = s.recovery ? after.bootloaderPort : BootloaderPortAfterReset(s.before, after);
    if (s.bootloaderPort == 0) {
      if (s.recovery) {
        Finish(false, kStrandedGone);
      } else {
        LogPrintf(0, "FlashFirmware: no bootloader port after resetting COM%d", s.boardPort);
        std::snprintf(text, sizeof text, "%s (the wheel on COM%d was reset).", kNoBootloader, s.boardPort);
        Finish(false, text);
      }
      return true;
    }
    StartFlasher();
  } else {
    LogOutput(s, "\n", 1);
    if (exitCode != 0) {
      LogPrintf(0, "FlashFirmware: avrdude ended with exit code %d", exitCode);
      std::snprintf(text, sizeof text, kFlasherFailedFormat, s.bootloaderPort, exitCode);
      Finish(false, text);
      return true;
    }
    LogPrintf(0, "FlashFirmware: %s flashed on COM%d", s.name, s.bootloaderPort);
    // Only now has the firmware changed: the settings may be offered back.
    BoardSettings pending;
    restorePending_ = s.saved || LoadBoardSettingsFile(backupFile, &pending);
    link_.firmwareVersion = 0;
    s.stage = FlashStage::kWaitingForBoard;
    s.percent = 95;
    s.sinceMs = Ms(*link_.clock);
    s.lastLookMs = 0;
    Show();
  }
  return true;
}

void Updater::Step() {
  Session& s = *session_;
  char text[kMessageMax];
  s.hold.Renew();
  if (s.process != nullptr) {
    StepProcess();
    return;
  }
  switch (s.stage) {
    case FlashStage::kDownloading: {
      DownloadJob* job = s.download;
      if (job == nullptr || !job->done.load()) return;
      JoinWorkerThread(&job->thread);
      s.download = nullptr;
      char* image = job->text;
      const uint32_t length = job->length;
      if (image == nullptr) {
        char url[kFetchUrlMax];
        FormatFetchUrl(job->host, job->path, url, sizeof url);
        LogPrintf(0, "FetchText: %s: %s", url, job->reason);
        std::snprintf(text, sizeof text, kDownloadFailedFormat, job->path, job->host, job->reason);
        delete job;
        Finish(false, text);
        return;
      }
      delete job;
      TakeImage(s.name, image, length);
      return;
    }
    case FlashStage::kChecking: {
      // Everything that can be known before the board is touched.
      if (!IsPlainFirmwareName(s.name)) {
        LogPrintf(0, "FlashFirmware: \"%s\" is not a plain .hex file name; nothing is flashed", s.name);
        std::snprintf(text, sizeof text, kNotPlainNameFormat, s.name);
        Finish(false, text);
        return;
      }
      const HexCheck image = CheckIntelHex(s.image, s.imageSize);
      if (!image.ok) {
        LogPrintf(0, "FlashFirmware: %s is not firmware for the board (line %u: %s); nothing is flashed", s.name,
                  image.line, image.reason);
        std::snprintf(text, sizeof text, kNotFirmwareFormat, s.name, image.line, image.reason);
        Finish(false, text);
        return;
      }
      if (!processes->CanStart(kFlasherProgram)) {
        LogPrintf(0, "FlashFirmware: %s is missing or cannot be started; nothing is flashed", kFlasherProgram);
        std::snprintf(text, sizeof text, kFlasherMissingFormat, kFlasherProgram);
        Finish(false, text);
        return;
      }
      FILE* config = os::OpenFile(kFlasherConfig, "rb");
      if (config == nullptr) {
        LogPrintf(0, "FlashFirmware: %s is missing; nothing is flashed", kFlasherConfig);
        std::snprintf(text, sizeof text, kFlasherConfigMissingFormat, kFlasherConfig);
        Finish(false, text);
        return;
      }
      std::fclose(config);
      if (!WriteFirmwareImage(s.name, s.image, s.imageSize)) {
        LogPrintf(0, "FlashFirmware: %s could not be written; nothing is flashed", s.name);
        std::snprintf(text, sizeof text, kNotWrittenFormat, s.name);
        Finish(false, text);
        return;
      }
      if (s.version != 0) RememberLastFirmware();
      if (s.recovery) {
        // The board waits in its bootloader already: it is looked for again.
        s.stage = FlashStage::kWaitingForBootloader;
        s.percent = 20;
        Show();
        StartLister();
        if (session_) session_->running = Running::kListerAfter;
        return;
      }
      s.boardPort = link_.wheelPort;
      StartLister();
      if (session_) session_->running = Running::kListerBefore;
      return;
    }
    case FlashStage::kSaving:
      s.saved = SaveBoardSettings();
      s.stage = FlashStage::kResetting;
      s.percent = 15;
      Show();
      return;
    case FlashStage::kResetting:
      if (!ResetBoard()) {
        std::snprintf(text, sizeof text, kResetFailedFormat, s.boardPort);
        Finish(false, text);
        return;
      }
      LogPrintf(0, "FlashFirmware: COM%d reset into its bootloader", s.boardPort);
      s.stage = FlashStage::kWaitingForBootloader;
      s.sinceMs = Ms(*link_.clock);
      Show();
      return;
    case FlashStage::kWaitingForBootloader: {
      uint32_t delay = settings_.resetDelay;
      if (delay > kMaxResetDelayMs) delay = kMaxResetDelayMs;
      const uint64_t waited = Ms(*link_.clock) - s.sinceMs;
      const int percent = 15 + static_cast<int>(delay ? 10 * (waited < delay ? waited : delay) / delay : 10);
      if (percent != s.percent) {
        s.percent = percent;
        Show();
      }
      if (waited < delay) return;
      StartLister();
      if (session_) session_->running = Running::kListerAfter;
      return;
    }
    case FlashStage::kWaitingForBoard: {
      const uint64_t now = Ms(*link_.clock);
      if (link_.linkState >= kWheelFound && link_.channel->IsOpen() && !link_.ProbePending()) {
        if (restorePending_) {
          s.stage = FlashStage::kRestoring;
          s.percent = 96;
          Show();
          if (AskRestore(&s.restore)) {
            s.restoreNext = 0;
            return;
          }
        }
        Finish(true, nullptr);
        return;
      }
      if (now - s.sinceMs > kBoardReturnMs) {
        LogPrintf(0, "FlashFirmware: the board has not answered within %u s; its settings are offered once it does",
                  kBoardReturnMs / 1000);
        Finish(true, nullptr);
        return;
      }
      if (s.lastLookMs == 0 || now - s.lastLookMs >= kBoardLookMs) {
        // The link's own refresh probes the port again; the tick's
        // handshake step takes the reply.
        s.lastLookMs = now;
        StatusRelease look(link_);
        link_.RefreshStatus();
      }
      return;
    }
    case FlashStage::kRestoring: {
      if (s.restoreNext < s.restore.count) {
        s.restoreNext = WriteBoardSettingsFrom(link_, s.restore, s.restoreNext, kRestorePerTick);
        const int percent = 96 + 3 * s.restoreNext / (s.restore.count ? s.restore.count : 1);
        if (percent != s.percent) {
          s.percent = percent;
          Show();
        }
        return;
      }
      const int missed = FinishBoardSettings(link_, s.restore);
      const int count = s.restore.count;
      Finish(true, nullptr);
      EndRestore(missed, count);
      return;
    }
    default:
      return;
  }
}

void Updater::Finish(bool ok, const char* message) {
  Session* s = session_;
  if (s == nullptr) return;
  if (s->process) {
    s->process->Kill();
    delete s->process;
  }
  if (s->download) {
    // The fetch ends within its bound; its thread is let go with the record.
    DownloadJob* job = s->download;
    JoinWorkerThread(&job->thread);
    if (job->text) FreeMem(job->text);
    delete job;
  }
  if (s->image) FreeMem(s->image);
  if (s->chunk) FreeMem(s->chunk);
  const bool touched = s->stage > FlashStage::kResetting;
  // FlashFirmware's caller gets its hold back; a flash of the window ends
  // with the status refresh running again.
  if (!s->toEnd) s->hold.EndUnheld();
  delete s;
  session_ = nullptr;
  if (flashView) flashView->EndFlash();
  (void)ok;
  if (message != nullptr) {
    char text[kMessageMax * 2];
    std::snprintf(text, sizeof text, "%s\n\n%s", message, touched ? kMayBeStranded : kUntouched);
    LogPrintf(0, "FlashFirmware: %s", message);
    StatusHold box(link_);  // the refresh stands aside while the box is open
    if (view) view->Inform(text);
  }
}

void Updater::RememberLastFirmware() {
  struct Last {
    const char* name;
    int32_t version;
  } last{session_->name, session_->version};
  static const ScriptKey kKeys[] = {{"FILE", 0, 1}, {"VERSION", 1, 1}, {nullptr, 0, 0}};
  const bool written = WriteScriptSection(
      lastFirmwareFile, "Firmware",
      [](ScriptDocument* document, const void* context) {
        const Last& l = *static_cast<const Last*>(context);
        return AddString(AddKey(document, kKeys, 0), l.name) && AddNumber(AddKey(document, kKeys, 1), l.version);
      },
      &last);
  if (!written) LogPrintf(0, "FlashFirmware: %s could not be written", lastFirmwareFile);
}

bool Updater::ReadLastFirmware(char* name, size_t size, int32_t* version) {
  struct Last {
    char* name;
    size_t size;
    int32_t* version;
  } last{name, size, version};
  static const ScriptKey kKeys[] = {{"FILE", 0, 1}, {"VERSION", 1, 1}, {nullptr, 0, 0}};
  name[0] = 0;
  *version = 0;
  ReadScriptSection(
      lastFirmwareFile, "Firmware", kKeys,
      [](uint16_t id, ScriptCursor* cursor) {
        Last& l = *static_cast<Last*>(cursor->context);
        if (id == 0) {
          const char* text = NextString(cursor);
          std::snprintf(l.name, l.size, "%s", text ? text : "");
        } else {
          *l.version = NextNumber(cursor);
        }
        return 0;
      },
      &last);
  if (!IsPlainFirmwareName(name)) return false;
  FILE* file = os::OpenFile(name, "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}
