// Script documents: time per key line for reading a section through ReadSection
// and for writing a section (BeginSection, AddKey, values, WriteSection), at
// several sizes so that a cost growing faster than the line count shows.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "exec/execlib.h"
#include "script/script_layer.h"
#include "exec/memory.h"
#include "script/script.h"

namespace {

const ScriptKey kKeys[] = {{"PROFILE", 0, ScriptKeyToLineEnd}, {nullptr, 0, 0}};

struct Totals {
  uint64_t lines;
  int64_t sum;
};

int ReadProfile(uint16_t, ScriptCursor* cursor) {
  Totals* totals = static_cast<Totals*>(cursor->context);
  ++totals->lines;
  NextString(cursor);
  NextString(cursor);
  while (ValuesLeft(cursor) > 0) totals->sum += NextNumber(cursor);
  return 0;
}

std::string MakeDocument(int lines) {
  std::string text = "; bench\r\n[Other]\r\nX=1\r\n\r\n[Bench]\r\n";
  char line[128];
  for (int i = 0; i < lines; ++i) {
    snprintf(line, sizeof line, "PROFILE=\"Game %05d\",g%05d.exe,%d,64,127,0x1F,-5\r\n", i, i, i % 128);
    text += line;
  }
  return text + "\r\n[After]\r\nY=2\r\n";
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Best of a few runs, in seconds.
double TimeRead(const std::string& text, int expectedLines) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    ScriptDocument* document = NewScriptDocument("bench.ini", text.data(), static_cast<uint32_t>(text.size()));
    Totals totals{0, 0};
    document->context = &totals;
    auto start = std::chrono::steady_clock::now();
    ReadSection(document, "Bench", kKeys, ReadProfile);
    best = std::min(best, Seconds(start));
    if (totals.lines != static_cast<uint64_t>(expectedLines)) {
      fprintf(stderr, "bench_script: read %llu lines, expected %d\n",
              static_cast<unsigned long long>(totals.lines), expectedLines);
    }
    DeleteScriptDocument(document);
  }
  return best;
}

double TimeWrite(const std::string& text, int lines, const std::string& path) {
  double best = 1e9;
  char name[32];
  char exe[32];
  for (int round = 0; round < 5; ++round) {
    ScriptDocument* document = NewScriptDocument(path.c_str(), text.data(), static_cast<uint32_t>(text.size()));
    auto start = std::chrono::steady_clock::now();
    BeginSection(document, "Bench");
    for (int i = 0; i < lines; ++i) {
      ScriptKeyLine* line = AddKey(document, kKeys, 0);
      snprintf(name, sizeof name, "Game %05d", i);
      snprintf(exe, sizeof exe, "g%05d.exe", i);
      AddString(line, name);
      AddString(line, exe);
      for (int32_t value : {i % 128, 64, 127, 31, -5}) AddNumber(line, value);
    }
    bool ok = WriteSection(document);
    best = std::min(best, Seconds(start));
    if (!ok) fprintf(stderr, "bench_script: WriteSection failed\n");
    DeleteScriptDocument(document);
  }
  return best;
}

}  // namespace

int main() {
  char folder[] = "/tmp/ts_bench_script_XXXXXX";
  if (!mkdtemp(folder)) return 1;
  ExecConfig config;
  memset(&config, 0, sizeof config);
  config.mainPoolSize = 0x8000000;
  config.memoryOptions = kMemThreadSafe;
  snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", folder);
  InstallScriptLayer();
  if (!InitExec(&config)) return 1;
  std::string path = std::string(folder) + "/bench.ini";

  printf("%-8s %-10s %-16s %-16s %-14s\n", "lines", "bytes", "read us/line", "write us/line", "write total ms");
  for (int lines : {10000, 20000, 40000}) {
    std::string text = MakeDocument(lines);
    double read = TimeRead(text, lines);
    double write = TimeWrite(text, lines, path);
    printf("%-8d %-10zu %-16.3f %-16.3f %-14.2f\n", lines, text.size(), read * 1e6 / lines, write * 1e6 / lines,
           write * 1e3);
  }
  ExecRemove();
  unlink(path.c_str());
  rmdir(folder);
  return 0;
}
