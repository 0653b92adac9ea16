// standin_board: a wheel controller board on a pseudo-terminal, for tests,
// demos and development without hardware. See --help.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "exec/deadline.h"
#include "exec/os.h"
#include "standin_board/standin_host_posix.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gDrop = 0;
volatile std::sig_atomic_t gBack = 0;

void OnStop(int) { gStop = 1; }
void OnDrop(int) { gDrop = 1; }
void OnBack(int) { gBack = 1; }

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: standin_board [options]\n"
               "Opens a pseudo-terminal, prints its slave path on the first line of\n"
               "standard output and answers on it like the wheel controller board:\n"
               "handshake \"orvenk?\" -> \"DuvarKemol\", p/P parameters, S status, V version,\n"
               "r calibrate, c centre, D defaults, \"#\" reports while parameter 16 > 0.\n"
               "A 1200-baud open followed by a close is noted as a bootloader reset;\n"
               "with --bootloader the board then leaves its port and a bootloader that\n"
               "speaks AVR109 (avrdude -c avr109) appears on a new one until the flasher\n"
               "is done with it.\n"
               "\n"
               "  --link PATH         keep a symbolic link PATH pointing at the slave (it\n"
               "                      follows the board across drop/back; use it as the port)\n"
               "  --transcript PATH   write every byte received and sent, with times\n"
               "  --echo              transcript lines to standard error as well\n"
               "  --control PATH      FIFO (made when missing) read for control lines\n"
               "  --stdin             read control lines from standard input\n"
               "  --late MS           answer MS milliseconds late\n"
               "  --report MS         \"#\" report period while the debug level > 0 (default 250)\n"
               "  --status LIST       answers to \"S\", e.g. 7,8 (the last one repeats)\n"
               "  --calibration LIST  answers started by \"r\" (default 1,2,3,4,5,6,8)\n"
               "  --version X.Y       firmware version (default 1.5)\n"
               "  --set N=VALUE       parameter N := VALUE (repeatable)\n"
               "  --silent            answer nothing\n"
               "  --noise N           N junk bytes before every reply\n"
               "  --double            every reply twice\n"
               "  --short N           every reply N bytes short\n"
               "  --hello TEXT        handshake reply instead of DuvarKemol\n"
               "  --bootloader PATH   bootloader mode: its port appears as this link\n"
               "  --bootloader-ms MS  how long the bootloader waits for a flasher (default 8000)\n"
               "  --flashed-version X.Y  firmware version after a flash (default: unchanged)\n"
               "  --help              this text\n"
               "Signals: SIGUSR1 drops out (unplug), SIGUSR2 comes back (re-plug),\n"
               "SIGINT/SIGTERM end the program.\n"
               "\n%s",
               StandinControlHelp());
}

}  // namespace

int main(int argc, char** argv) {
  StandinHostOptions options;
  std::vector<std::string> lines;  // board settings, applied as control lines
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "standin_board: %s needs a value\n", name);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    } else if (a == "--link") {
      options.link = value("--link");
    } else if (a == "--transcript") {
      options.transcript = value("--transcript");
    } else if (a == "--control") {
      options.controlPath = value("--control");
    } else if (a == "--stdin") {
      options.controlFd = 0;
    } else if (a == "--bootloader") {
      options.bootloaderLink = value("--bootloader");
    } else if (a == "--bootloader-ms") {
      lines.push_back(std::string("bootloader-ms ") + value("--bootloader-ms"));
    } else if (a == "--flashed-version") {
      lines.push_back(std::string("flashed-version ") + value("--flashed-version"));
    } else if (a == "--echo") {
      options.echo = true;
    } else if (a == "--late") {
      lines.push_back(std::string("late ") + value("--late"));
    } else if (a == "--report") {
      lines.push_back(std::string("report ") + value("--report"));
    } else if (a == "--status") {
      lines.push_back(std::string("status ") + value("--status"));
    } else if (a == "--calibration") {
      lines.push_back(std::string("calibration ") + value("--calibration"));
    } else if (a == "--version") {
      lines.push_back(std::string("version ") + value("--version"));
    } else if (a == "--set") {
      std::string v = value("--set");
      const size_t eq = v.find('=');
      if (eq == std::string::npos) {
        std::fprintf(stderr, "standin_board: --set wants N=VALUE\n");
        return 2;
      }
      lines.push_back("set " + v.substr(0, eq) + " " + v.substr(eq + 1));
    } else if (a == "--silent") {
      lines.push_back("silent on");
    } else if (a == "--noise") {
      lines.push_back(std::string("noise ") + value("--noise"));
    } else if (a == "--double") {
      lines.push_back("double on");
    } else if (a == "--short") {
      lines.push_back(std::string("short ") + value("--short"));
    } else if (a == "--hello") {
      lines.push_back(std::string("hello ") + value("--hello"));
    } else {
      std::fprintf(stderr, "standin_board: unknown option %s (see --help)\n", a.c_str());
      return 2;
    }
  }

  StandinHost host(options);
  for (const std::string& line : lines) {
    std::string error;
    if (!host.Control(line, &error)) {
      std::fprintf(stderr, "standin_board: %s\n", error.c_str());
      return 2;
    }
  }
  std::signal(SIGINT, OnStop);
  std::signal(SIGTERM, OnStop);
  std::signal(SIGUSR1, OnDrop);
  std::signal(SIGUSR2, OnBack);
  std::signal(SIGPIPE, SIG_IGN);
  if (!host.Start()) return 1;
  std::printf("%s\n", host.SlavePath().c_str());
  std::fflush(stdout);

  while (!gStop && !host.QuitRequested()) {
    if (gDrop) {
      gDrop = 0;
      host.Control("drop");
    }
    if (gBack) {
      gBack = 0;
      host.Control("back");
    }
    os::SleepUs(20000);
  }
  host.Stop();
  return 0;
}
