#include "update/process_io.h"

#include <cstring>

void ProcessOutput::Append(const char* data, size_t count) {
  const size_t room = capacity_ > size_ ? capacity_ - size_ : 0;
  if (count > room) {
    truncated_ = true;
    count = room;
  }
  if (count > 0) std::memcpy(buffer_ + size_, data, count);
  size_ += count;
}

bool BuildCommandLine(const char* const* args, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  size_t at = 0;
  auto put = [&](char c) {
    if (at + 1 >= size) return false;
    out[at++] = c;
    return true;
  };
  bool ok = true;
  for (const char* const* arg = args; arg && *arg && ok; ++arg) {
    const char* text = *arg;
    if (arg != args) ok = put(' ');
    const bool quote = *text == 0 || std::strpbrk(text, " \t\"") != nullptr;
    if (quote) ok = ok && put('"');
    size_t backslashes = 0;
    for (const char* p = text; *p && ok; ++p) {
      if (*p == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes only mean something in front of a double quote.
      const size_t times = *p == '"' ? backslashes * 2 + 1 : backslashes;
      for (size_t i = 0; i < times && ok; ++i) ok = put('\\');
      backslashes = 0;
      ok = ok && put(*p);
    }
    // In front of the closing quote they would escape it: doubled.
    const size_t times = quote ? backslashes * 2 : backslashes;
    for (size_t i = 0; i < times && ok; ++i) ok = put('\\');
    if (quote) ok = ok && put('"');
  }
  out[ok ? at : 0] = 0;
  return ok;
}

namespace {

class EndedProcess : public RunningProcess {
 public:
  EndedProcess(char* text, size_t size, int exitCode) : text_(text), size_(size), exitCode_(exitCode) {}
  ~EndedProcess() override { delete[] text_; }
  bool Poll(ProcessOutput* output, int* exitCode) override {
    if (output && size_ > 0) output->Append(text_, size_);
    size_ = 0;
    if (exitCode) *exitCode = exitCode_;
    return true;
  }
  void Kill() override {}

 private:
  char* text_;
  size_t size_;
  int exitCode_;
};

}  // namespace

RunningProcess* StartByRunCapture(ProcessRunner& runner, const char* program, const char* const* args,
                                  uint32_t timeoutMs, size_t outputMax) {
  char* text = new char[outputMax > 0 ? outputMax : 1];
  ProcessOutput output(text, outputMax);
  int exitCode = -1;
  if (!runner.RunCapture(program, args, &output, timeoutMs, &exitCode)) {
    delete[] text;
    return nullptr;
  }
  return new EndedProcess(text, output.Size(), exitCode);
}
