// standin_board: a wheel controller board on a pseudo-terminal, for tests,
// demos and development without hardware. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "host/tool_main_posix.h"
#include "standin_board/standin_host_posix.h"

namespace {

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
  const int code = ParseToolOptions(
      "standin_board", argc, argv,
      {{"link", true, nullptr, ValueInto(&options.link)},
       {"transcript", true, nullptr, ValueInto(&options.transcript)},
       {"control", true, nullptr, ValueInto(&options.controlPath)},
       {"stdin", false, nullptr, [&](const std::string&) { options.controlFd = 0; return std::string(); }},
       {"bootloader", true, nullptr, ValueInto(&options.bootloaderLink)},
       {"bootloader-ms", true, "bootloader-ms ", {}},
       {"flashed-version", true, "flashed-version ", {}},
       {"echo", false, nullptr, FlagOn(&options.echo)},
       {"late", true, "late ", {}},
       {"report", true, "report ", {}},
       {"status", true, "status ", {}},
       {"calibration", true, "calibration ", {}},
       {"version", true, "version ", {}},
       {"set", true, nullptr,
        [&](const std::string& v) {
          const size_t eq = v.find('=');
          if (eq == std::string::npos) return std::string("--set wants N=VALUE");
          lines.push_back("set " + v.substr(0, eq) + " " + v.substr(eq + 1));
          return std::string();
        }},
       {"silent", false, "silent on", {}},
       {"noise", true, "noise ", {}},
       {"double", false, "double on", {}},
       {"short", true, "short ", {}},
       {"hello", true, "hello ", {}}},
      Usage, &lines);
  if (code >= 0) return code;

  StandinHost host(options);
  if (!ApplyToolLines("standin_board", lines, [&](const std::string& l, std::string* e) { return host.Control(l, e); })) {
    return 2;
  }
  CatchToolSignals();
  if (!host.Start()) return 1;
  std::printf("%s\n", host.SlavePath().c_str());
  std::fflush(stdout);
  RunUntilStopped([&] { return host.QuitRequested(); }, [&](const std::string& l) { host.Control(l); }, "drop", "back");
  host.Stop();
  return 0;
}
