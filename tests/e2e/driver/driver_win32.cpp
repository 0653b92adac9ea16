// Entry and dispatch of ts_driver. Usage:
//   ts_driver [-w SELECTOR] [-t SECONDS] COMMAND ARGS... [+ [-w ...] COMMAND ARGS...]...
// Commands joined with "+" run in one process (each Wine start costs time);
// the first failing command stops the chain and sets the exit code.
//   ts_driver serve
// keeps one process for a whole scenario: it reads one chain per line from
// stdin, words separated by the unit separator 0x1F, runs it, and ends its
// answer with the line "\x1Fdone <exit code>".
#include "driver_win32.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

const Command* FindCommand(const std::string& name) {
  for (const Command* table : {kWindowCommands, kControlCommands, kDeviceCommands}) {
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
  for (const Command* table : {kWindowCommands, kControlCommands, kDeviceCommands}) {
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

// Runs one chain of commands ("+" separated); returns the first failure's code.
int RunChain(const Args& words) {
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

int Serve() {
  std::string line;
  for (int c = fgetc(stdin);; c = fgetc(stdin)) {
    if (c != EOF && c != '\n') {
      if (c != '\r') line.push_back(static_cast<char>(c));
      continue;
    }
    if (!line.empty()) {
      Args words;
      size_t start = 0;
      for (;;) {
        size_t sep = line.find('\x1f', start);
        words.push_back(line.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
      }
      int result = RunChain(words);
      fflush(stderr);
      printf("\x1f" "done %d\n", result);
      fflush(stdout);
    }
    line.clear();
    if (c == EOF) return kOk;
  }
}

}  // namespace

int main() {
  // Plain "\n" line ends, so the shell side needs no clean-up.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  // The wide command line keeps non-ASCII texts intact.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Args words;
  for (int i = 1; argv != nullptr && i < argc; ++i) words.push_back(Narrow(argv[i]));
  if (argv != nullptr) LocalFree(argv);
  if (words.size() == 1 && words[0] == "serve") return Serve();
  return RunChain(words);
}
