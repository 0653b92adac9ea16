// Entry and dispatch of ts_driver. Usage:
//   ts_driver [-w SELECTOR] [-t SECONDS] COMMAND ARGS... [+ [-w ...] COMMAND ARGS...]...
// Commands joined with "+" run in one process (each Wine start costs time);
// the first failing command stops the chain and sets the exit code.
#include "driver_win32.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

const Command* FindCommand(const std::string& name) {
  for (const Command* table : {kWindowCommands, kControlCommands}) {
    for (const Command* c = table; c->name != nullptr; ++c) {
      if (name == c->name) return c;
    }
  }
  return nullptr;
}

void PrintUsage() {
  fprintf(stderr,
          "usage: ts_driver [-w SELECTOR] [-t SECONDS] COMMAND ARGS... [+ COMMAND ARGS...]\n"
          "SELECTOR: title prefix, class:NAME, msgbox, or 0xHANDLE "
          "(default \"Kestra Wheel Configuration\")\ncommands:\n");
  for (const Command* table : {kWindowCommands, kControlCommands}) {
    for (const Command* c = table; c->name != nullptr; ++c) {
      fprintf(stderr, "  %s %s\n", c->name, c->usage);
    }
  }
}

// Runs one command from words[begin, end); options come first.
int RunOne(Context& context, const Args& words, size_t begin, size_t end) {
  size_t i = begin;
  while (i < end && (words[i] == "-w" || words[i] == "-t")) {
    if (i + 1 >= end) {
      PrintUsage();
      return kUsage;
    }
    if (words[i] == "-w") {
      context.target = words[i + 1];
    } else if (!ParseSeconds(words[i + 1], &context.timeoutMs)) {
      PrintError("ts_driver", "bad timeout " + words[i + 1]);
      return kUsage;
    }
    i += 2;
  }
  if (i >= end) {
    PrintUsage();
    return kUsage;
  }
  const Command* command = FindCommand(words[i]);
  if (command == nullptr) {
    PrintError("ts_driver", "unknown command " + words[i]);
    PrintUsage();
    return kUsage;
  }
  Args args(words.begin() + i + 1, words.begin() + end);
  int count = static_cast<int>(args.size());
  if (count < command->minArgs || count > command->maxArgs) {
    fprintf(stderr, "usage: ts_driver %s %s\n", command->name, command->usage);
    return kUsage;
  }
  return command->run(context, args);
}

}  // namespace

int main() {
  // Plain "\n" line ends, so the shell side needs no clean-up.
  _setmode(_fileno(stdout), _O_BINARY);
  // The wide command line keeps non-ASCII texts intact.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Args words;
  for (int i = 1; argv != nullptr && i < argc; ++i) words.push_back(Narrow(argv[i]));
  if (argv != nullptr) LocalFree(argv);
  if (words.empty()) {
    PrintUsage();
    return kUsage;
  }
  Context context;
  size_t begin = 0;
  while (begin <= words.size()) {
    size_t end = begin;
    while (end < words.size() && words[end] != "+") ++end;
    int result = RunOne(context, words, begin, end);
    fflush(stdout);
    if (result != kOk) return result;
    begin = end + 1;
  }
  return kOk;
}
