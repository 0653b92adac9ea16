#include "host/tool_main_posix.h"

#include <getopt.h>

#include <csignal>

#include "exec/os.h"

namespace {

constexpr uint32_t kSignalLookUs = 20000;

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gUsr1 = 0;
volatile std::sig_atomic_t gUsr2 = 0;

void OnStop(int) { gStop = 1; }
void OnUsr1(int) { gUsr1 = 1; }
void OnUsr2(int) { gUsr2 = 1; }

}  // namespace

std::function<std::string(const std::string&)> ValueInto(std::string* field) {
  return [field](const std::string& value) {
    *field = value;
    return std::string();
  };
}

std::function<std::string(const std::string&)> FlagOn(bool* flag) {
  return [flag](const std::string&) {
    *flag = true;
    return std::string();
  };
}

int ParseToolOptions(const char* tool, int argc, char** argv, const std::vector<ToolOption>& options,
                     void (*usage)(FILE*), std::vector<std::string>* lines) {
  // An option's getopt value is its index past the range of short options.
  constexpr int kFirst = 256;
  std::vector<option> table;
  for (size_t i = 0; i < options.size(); ++i) {
    table.push_back(option{options[i].name, options[i].takesValue ? required_argument : no_argument, nullptr,
                           kFirst + static_cast<int>(i)});
  }
  table.push_back(option{"help", no_argument, nullptr, 'h'});
  table.push_back(option{nullptr, 0, nullptr, 0});
  opterr = 0;
  optind = 1;
  int c;
  // "+": stop at the first word that is not an option; it is refused below.
  while ((c = getopt_long(argc, argv, "+:h", table.data(), nullptr)) != -1) {
    if (c == 'h') {
      usage(stdout);
      return 0;
    }
    if (c == ':') {
      std::fprintf(stderr, "%s: %s needs a value\n", tool, argv[optind - 1]);
      return 2;
    }
    if (c == '?') {
      std::fprintf(stderr, "%s: unknown option %s (see --help)\n", tool, argv[optind - 1]);
      return 2;
    }
    const ToolOption& o = options[static_cast<size_t>(c - kFirst)];
    const std::string value = o.takesValue ? optarg : "";
    if (o.line) {
      lines->push_back(o.line + value);
      continue;
    }
    const std::string refused = o.set(value);
    if (!refused.empty()) {
      std::fprintf(stderr, "%s: %s\n", tool, refused.c_str());
      return 2;
    }
  }
  if (optind < argc) {
    std::fprintf(stderr, "%s: unknown option %s (see --help)\n", tool, argv[optind]);
    return 2;
  }
  return -1;
}

bool ApplyToolLines(const char* tool, const std::vector<std::string>& lines,
                    const std::function<bool(const std::string&, std::string*)>& control) {
  for (const std::string& line : lines) {
    std::string error;
    if (!control(line, &error)) {
      std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
      return false;
    }
  }
  return true;
}

void CatchToolSignals() {
  std::signal(SIGINT, OnStop);
  std::signal(SIGTERM, OnStop);
  std::signal(SIGUSR1, OnUsr1);
  std::signal(SIGUSR2, OnUsr2);
  std::signal(SIGPIPE, SIG_IGN);
}

void RunUntilStopped(const std::function<bool()>& quit, const std::function<void(const std::string&)>& control,
                     const char* usr1, const char* usr2) {
  while (!gStop && !quit()) {
    if (gUsr1) {
      gUsr1 = 0;
      if (usr1 && control) control(usr1);
    }
    if (gUsr2) {
      gUsr2 = 0;
      if (usr2 && control) control(usr2);
    }
    os::SleepUs(kSignalLookUs);
  }
}
