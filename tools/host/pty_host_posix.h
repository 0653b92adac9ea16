#pragma once
// The pseudo-terminal host that the stand-in board and the stand-in drive
// share (POSIX only). The program under test opens the slave side (or a
// stable symbolic link to it) as its COM port; one thread polls the master
// side, hands the program's bytes to the device, sends the device's replies
// when they are due, reads control lines, and writes a transcript.
//
// Transcript lines (one per command, reply or event, flushed at once):
//   <seconds since start, microseconds> <dir> <hex bytes>  <description>
//   dir '<' from the program, '>' to the program, '#' an event such as
//   "opened at 115200 baud", "line set to 1200 baud", "closed",
//   "control: late 40", "dropped out", "back on /dev/pts/7".
// "opened at" is noted once the program has set its line: when its first
// bytes come or when it closes, whichever is first, so the order in which a
// program opens a port and sets its speed does not show.
//
// Control lines the host answers itself: "drop" (the terminal and its link go
// away, like an unplugged USB device), "back" (a new terminal behind the same
// link) and "quit" (QuitRequested turns true); the device gets the others.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct PtyHostOptions {
  std::string link;         // symbolic link kept pointing at the current slave; empty = none
  std::string transcript;   // transcript file; empty = none
  std::string controlPath;  // FIFO (made when missing) read for control lines; empty = none
  int controlFd = -1;       // an already open descriptor read for control lines (stdin)
  bool echo = false;        // transcript lines also to stderr
};

// The stand-in behind the terminal. The host calls it with its lock held,
// and from there the device may use the host's operations.
class PtyDevice {
 public:
  virtual ~PtyDevice() = default;
  virtual void Receive(const uint8_t* bytes, size_t count) = 0;  // from the program
  // A control line the host does not answer itself; false with *error.
  virtual bool Apply(const std::string& line, std::string* error) = 0;
  virtual void Restart() = 0;        // back after a drop: powered up afresh
  virtual void Closed(int baud) {}   // the program closed the port it had open at baud
  virtual void NobodyOpen() {}       // looked at every few milliseconds while the port is closed
  // Timed work after each look at the terminal; returns how many
  // microseconds may pass before the next turn.
  virtual uint64_t Turn(uint64_t nowUs) { return UINT64_MAX; }
};

class PtyHost {
 public:
  // label names the device in events and messages ("board on /dev/pts/4",
  // "standin_board: cannot ..."); a new terminal is raw 8N1 at resetBaud
  // (0: the system's default speed).
  PtyHost(const char* label, int resetBaud, PtyHostOptions options, PtyDevice* device);
  ~PtyHost();  // Stop(), then the terminal and its link go
  PtyHost(const PtyHost&) = delete;
  PtyHost& operator=(const PtyHost&) = delete;

  // Opens the transcript, the control input and the terminal, and starts the
  // thread; false (with a message on stderr) when one of them cannot be made.
  bool Start();
  void Stop();
  // Applies a control line and waits until it took effect; false with
  // *error when the line was refused.
  bool Control(const std::string& line, std::string* error = nullptr);
  // Runs f with the host's lock held.
  void Locked(const std::function<void()>& f);

  // These take the lock too, and may be called from the device's calls.
  std::string SlavePath();  // current slave; empty while dropped out
  std::vector<std::string> Transcript();
  bool Connected();  // the program has the port open
  bool QuitRequested();
  void Log(char direction, const uint8_t* bytes, size_t count, const std::string& text);
  void Event(const std::string& text);
  void Send(std::vector<uint8_t> bytes, uint32_t delayMs);
  bool OutputsPending();
  void DropOutputs();
  int LineBaud();    // the speed the program set; 0 when unknown
  void ResetLine();  // raw 8N1 at resetBaud again
  // A new terminal behind link (replacing the old one), or the current one
  // closed and its link removed (returns the slave path it had).
  bool OpenTerminal(const std::string& link);
  std::string CloseTerminal();
  // "back": a new terminal behind the options' link, the device restarted.
  bool Back(std::string* error);

 private:
  struct State;
  std::unique_ptr<State> s_;
};
