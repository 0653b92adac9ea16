#pragma once
// The outside programs of the update subsystem (Tools\listComPorts.exe and
// the flasher Tools\avrdude) behind one small seam. process_io_win32.cpp
// starts them with CreateProcess, CREATE_NO_WINDOW and a pipe (no console
// window flashes up over the program); process_io_posix.cpp with posix_spawn
// for the native build. Tests derive from ProcessRunner to play the programs.
#include <cstddef>
#include <cstdint>

// A program's standard output, kept up to the buffer's size; what comes
// after that is read and dropped (the program never blocks on a full pipe).
class ProcessOutput {
 public:
  ProcessOutput(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Append(const char* data, size_t count);
  const char* Data() const { return buffer_; }
  size_t Size() const { return size_; }
  bool Truncated() const { return truncated_; }

 private:
  char* buffer_;
  size_t capacity_;
  size_t size_ = 0;
  bool truncated_ = false;
};

// A program started and left running: the caller looks in on it (from the
// user-interface thread's tick) instead of waiting for it.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  // Moves what the program wrote so far into output (when given) without
  // waiting; true once it has ended and all it wrote has been read, with
  // its exit code (-1 when it was ended from outside).
  virtual bool Poll(ProcessOutput* output, int* exitCode) = 0;
  // Ends it at once (a program that outlived its bound).
  virtual void Kill() = 0;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts program (a path relative to the program's own folder, '\'
  // separated, started by its full path and in that folder; ".exe" is tried
  // when the name as given is not there) with args, a
  // null-ended list whose first entry is the name the program sees as its
  // own. With output, its standard output is read into it; without, it is
  // not captured. Waits until the program ends, at most timeoutMs; one that
  // runs longer is ended and reports exit code -1. False when it could not
  // be started at all.
  virtual bool RunCapture(const char* program, const char* const* args, ProcessOutput* output,
                          uint32_t timeoutMs, int* exitCode);
  // Starts program as RunCapture does and returns at once; its standard
  // output (and with errorsToo its error output, on the same pipe, in the
  // order written) is there to Poll. Null when it could not be started. The
  // caller deletes it once it has ended (or after Kill).
  virtual RunningProcess* Start(const char* program, const char* const* args, bool errorsToo);
  // Whether program is there and is a program this system can start,
  // without starting it.
  virtual bool CanStart(const char* program);
};

// A run of RunCapture handed over as a program that has already ended: for
// runners that play programs (tests) and have nothing to run in the
// background. Its output is kept up to outputMax bytes.
RunningProcess* StartByRunCapture(ProcessRunner& runner, const char* program, const char* const* args,
                                  uint32_t timeoutMs, size_t outputMax);

ProcessRunner& SystemProcesses();

// The Windows command line that hands args to a program unchanged by the C
// runtime's parsing: an argument with a space, a tab or a double quote (or
// an empty one) is quoted, a double quote inside is escaped with a
// backslash, and backslashes are doubled only where a double quote follows
// them. False when it does not fit out.
bool BuildCommandLine(const char* const* args, char* out, size_t size);
