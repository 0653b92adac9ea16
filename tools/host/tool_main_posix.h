#pragma once
// What the mains of the POSIX tools share: the command line (getopt_long;
// "--name VALUE" and "--name=VALUE"), the control lines that options stand
// for, and the run until a signal or a "quit" ends it.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct ToolOption {
  const char* name;  // long name without "--"
  bool takesValue;
  // The control line the option stands for: this text, followed by the value
  // when the option takes one ("late " + "40"). Null: set is called instead.
  const char* line;
  // Takes the value; returns the reason it is refused, or an empty string.
  std::function<std::string(const std::string& value)> set;
};

// set for an option whose value goes into *field, or that turns *flag on.
std::function<std::string(const std::string&)> ValueInto(std::string* field);
std::function<std::string(const std::string&)> FlagOn(bool* flag);

// Parses argv. Returns -1 when the program goes on (the options' control
// lines appended to *lines, in their order), 0 after --help (usage printed
// to stdout), 2 after a refused command line (the reason on stderr).
int ParseToolOptions(const char* tool, int argc, char** argv, const std::vector<ToolOption>& options,
                     void (*usage)(FILE*), std::vector<std::string>* lines);

// Applies the lines in order with control; false (the refusal on stderr) at
// the first refused one.
bool ApplyToolLines(const char* tool, const std::vector<std::string>& lines,
                    const std::function<bool(const std::string&, std::string*)>& control);

// SIGINT and SIGTERM end the run, SIGPIPE is ignored, and SIGUSR1/SIGUSR2
// become the control lines usr1/usr2 (when not null). Call before the tool
// announces itself, then RunUntilStopped.
void CatchToolSignals();
// Returns once a signal ends the run or quit() is true.
void RunUntilStopped(const std::function<bool()>& quit,
                     const std::function<void(const std::string&)>& control = {}, const char* usr1 = nullptr,
                     const char* usr2 = nullptr);
