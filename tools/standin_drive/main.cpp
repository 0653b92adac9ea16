// standin_drive: a servo drive on a pseudo-terminal, for tests, demos and
// trying developer mode without hardware. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "host/tool_main_posix.h"
#include "standin_drive/standin_drive_host_posix.h"

namespace {

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
  const int code = ParseToolOptions(
      "standin_drive", argc, argv,
      {{"link", true, nullptr, ValueInto(&options.link)},
       {"transcript", true, nullptr, ValueInto(&options.transcript)},
       {"control", true, nullptr, ValueInto(&options.controlPath)},
       {"stdin", false, nullptr, [&](const std::string&) { options.controlFd = 0; return std::string(); }},
       {"echo", false, nullptr, FlagOn(&options.echo)},
       {"late", true, "late ", {}},
       {"silent", false, "silent on", {}},
       {"silent-after", true, "silent after ", {}},
       {"crc", true, "crc ", {}},
       {"short", true, "short ", {}},
       {"fewer", true, "fewer ", {}},
       {"noise", true, "noise ", {}},
       {"current", true, "current ", {}},
       {"set", true, nullptr,
        [&](const std::string& v) {
          const size_t eq = v.find('=');
          if (eq == std::string::npos) return std::string("--set wants ADDRESS=VALUE");
          lines.push_back("set " + v.substr(0, eq) + " " + v.substr(eq + 1));
          return std::string();
        }}},
      Usage, &lines);
  if (code >= 0) return code;

  StandinDriveHost host(options);
  if (!ApplyToolLines("standin_drive", lines, [&](const std::string& l, std::string* e) { return host.Control(l, e); })) {
    return 2;
  }
  CatchToolSignals();
  if (!host.Start()) return 1;
  std::printf("%s\n", host.SlavePath().c_str());
  std::fflush(stdout);
  RunUntilStopped([&] { return host.QuitRequested(); }, [&](const std::string& l) { host.Control(l); }, "silent on",
                  "silent off");
  host.Stop();
  return 0;
}
