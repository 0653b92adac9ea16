// standin_drive: a servo drive on a pseudo-terminal, for tests, demos and
// trying developer mode without hardware. See --help.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "standin_drive/standin_drive_host_posix.h"
#include "exec/os.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gSilent = 0;
volatile std::sig_atomic_t gAnswer = 0;

void OnStop(int) { gStop = 1; }
void OnSilent(int) { gSilent = 1; }
void OnAnswer(int) { gAnswer = 1; }

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: standin_drive [options]\n"
               "Opens a pseudo-terminal, prints its slave path on the first line of\n"
               "standard output and answers on it like a servo drive on a SimpleMotion\n"
               "RS485 bus, at whatever baud rate the line is set to: buffered commands\n"
               "(0x24) for node 2 with a good CRC-16/ARC get one return value per\n"
               "sub-command; a read (parameter 10 := 0, parameter 9 := ADDRESS) gets the\n"
               "parameter's value as its fourth value. Parameters: 3 version (0x104),\n"
               "490 torque bandwidth (6), 554 drive control (2 restarts), 565 encoder\n"
               "pulses (10000), 2533 faults (3 clears), 901 motor current (a sine of\n"
               "amplitude 2500 over 40 reads, 0.0018 A per unit); any other is stored.\n"
               "To try the program's developer mode: point its COM port at --link\n"
               "(under Wine: ln -s LINK $WINEPREFIX/dosdevices/com5) and start it with -dev.\n"
               "\n"
               "  --link PATH         keep a symbolic link PATH pointing at the slave (it\n"
               "                      follows the drive across drop/back; use it as the port)\n"
               "  --transcript PATH   one line per packet: time, direction, hex, meaning\n"
               "  --echo              transcript lines to standard error as well\n"
               "  --control PATH      FIFO (made when missing) read for control lines\n"
               "  --stdin             read control lines from standard input\n"
               "  --late MS           answer MS milliseconds late\n"
               "  --silent            answer nothing\n"
               "  --silent-after N    answer N packets, then fall silent\n"
               "  --crc MODE          good, swapped (high byte first) or wrong\n"
               "  --short N           every reply N bytes short\n"
               "  --fewer N           N return values fewer than sub-commands\n"
               "  --noise N           N junk bytes before every reply\n"
               "  --set A=VALUE       drive parameter A := VALUE (repeatable)\n"
               "  --current RAW       parameter 901 fixed at RAW instead of the sine\n"
               "  --help              this text\n"
               "Signals: SIGUSR1 falls silent, SIGUSR2 answers again, SIGINT/SIGTERM end\n"
               "the program.\n"
               "\n%s",
               StandinDriveControlHelp());
}

}  // namespace

int main(int argc, char** argv) {
  StandinDriveHostOptions options;
  std::vector<std::string> lines;  // drive settings, applied as control lines
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "standin_drive: %s needs a value\n", name);
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
    } else if (a == "--echo") {
      options.echo = true;
    } else if (a == "--late") {
      lines.push_back("late " + value("--late"));
    } else if (a == "--silent") {
      lines.push_back("silent on");
    } else if (a == "--silent-after") {
      lines.push_back("silent after " + value("--silent-after"));
    } else if (a == "--crc") {
      lines.push_back("crc " + value("--crc"));
    } else if (a == "--short") {
      lines.push_back("short " + value("--short"));
    } else if (a == "--fewer") {
      lines.push_back("fewer " + value("--fewer"));
    } else if (a == "--noise") {
      lines.push_back("noise " + value("--noise"));
    } else if (a == "--current") {
      lines.push_back("current " + value("--current"));
    } else if (a == "--set") {
      const std::string v = value("--set");
      const size_t eq = v.find('=');
      if (eq == std::string::npos) {
        std::fprintf(stderr, "standin_drive: --set wants ADDRESS=VALUE\n");
        return 2;
      }
      lines.push_back("set " + v.substr(0, eq) + " " + v.substr(eq + 1));
    } else {
      std::fprintf(stderr, "standin_drive: unknown option %s (see --help)\n", a.c_str());
      return 2;
    }
  }

  StandinDriveHost host(options);
  for (const std::string& line : lines) {
    std::string error;
    if (!host.Control(line, &error)) {
      std::fprintf(stderr, "standin_drive: %s\n", error.c_str());
      return 2;
    }
  }
  std::signal(SIGINT, OnStop);
  std::signal(SIGTERM, OnStop);
  std::signal(SIGUSR1, OnSilent);
  std::signal(SIGUSR2, OnAnswer);
  std::signal(SIGPIPE, SIG_IGN);
  if (!host.Start()) return 1;
  std::printf("%s\n", host.SlavePath().c_str());
  std::fflush(stdout);

  while (!gStop && !host.QuitRequested()) {
    if (gSilent) {
      gSilent = 0;
      host.Control("silent on");
    }
    if (gAnswer) {
      gAnswer = 0;
      host.Control("silent off");
    }
    os::SleepUs(20000);
  }
  host.Stop();
  return 0;
}
