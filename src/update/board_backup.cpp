#include "update/board_backup.h"

#include <cstdio>

#include "exec/log.h"
#include "script/script.h"

namespace {

enum BackupKey : uint16_t { kFirmware = 0, kParam = 1, kDate = 2 };
const ScriptKey kBackupKeys[] = {
    {"FIRMWARE", kFirmware, 1}, {"PARAM", kParam, 2}, {"DATE", kDate, 1}, {nullptr, 0, 0}};

// The order of a profile write; every other setting follows in bulk-read order.
const uint8_t kProfileWriteOrder[] = {8, 17, 18, 19, 20, 21, 22, 23, 24, 34, 30, 31, 32, 33};

struct SaveContext {
  const BoardSettings* settings;
  const char* date;
};


void Add(BoardSettings* out, uint8_t number, uint8_t bytes, int32_t value) {
  if (out->count < kBoardSettingCount) out->items[out->count++] = BoardSetting{number, bytes, value};
}

bool AddBackupKeys(ScriptDocument* document, const void* context) {
  const SaveContext& save = *static_cast<const SaveContext*>(context);
  const BoardSettings& settings = *save.settings;
  bool ok = AddUnsigned(AddKey(document, kBackupKeys, kFirmware), settings.firmwareVersion);
  if (ok && save.date) ok = AddString(AddKey(document, kBackupKeys, kDate), save.date);
  for (int i = 0; i < settings.count && ok; ++i) {
    ScriptKeyLine* line = AddKey(document, kBackupKeys, kParam);
    ok = AddNumber(line, settings.items[i].number) && AddNumber(line, settings.items[i].value);
  }
  return ok;
}

struct LoadContext {
  BoardSettings layout;  // every known parameter
  BoardSettings* out;
  BoardFileCheck* check = nullptr;  // a user's file: unknown numbers and ranges noted
  const WheelParameterTable* table = nullptr;
};

// What a value of this parameter can be: its wire size, narrowed to the
// slider's range where the page offers one.
bool InRange(const WheelParameterTable& table, const BoardSetting& setting, int32_t value) {
  if (setting.bytes == 1 && (value < -128 || value > 255)) return false;
  if (setting.bytes == 2 && (value < -32768 || value > 65535)) return false;
  for (const WheelParameter& entry : table.entries) {
    if (entry.number != setting.number || entry.kind == 4 || entry.maximum <= entry.minimum) continue;
    return value >= entry.minimum && value <= entry.maximum;
  }
  return true;
}

int ReadBackupLine(uint16_t id, ScriptCursor* cursor) {
  LoadContext* load = static_cast<LoadContext*>(cursor->context);
  if (id == kFirmware) {
    load->out->firmwareVersion = static_cast<uint32_t>(NextNumber(cursor));
    return 0;
  }
  if (id != kParam) return 0;
  const int32_t number = NextNumber(cursor);
  const int32_t value = NextNumber(cursor);
  BoardFileCheck* check = load->check;
  const BoardSetting* known =
      number < 0 || number > 255 ? nullptr : load->layout.Find(static_cast<uint8_t>(number));
  if (known == nullptr) {  // not a setting of the bulk read: never written
    if (check && number >= 0 && number <= 255) {
      if (check->skipped < kSkippedListed) check->skippedNumbers[check->skipped] = static_cast<uint8_t>(number);
      ++check->skipped;
    }
    return 0;
  }
  if (check && check->problem[0] == 0 && !InRange(*load->table, *known, value)) {
    char name[48];
    BoardSettingName(known->number, name, sizeof name);
    snprintf(check->problem, sizeof check->problem, "%s has the value %ld", name, static_cast<long>(value));
  }
  for (int i = 0; i < load->out->count; ++i) {
    if (load->out->items[i].number == number) {
      load->out->items[i].value = value;  // a later line wins
      return 0;
    }
  }
  Add(load->out, known->number, known->bytes, value);
  return 0;
}

}  // namespace

const BoardSetting* BoardSettings::Find(uint8_t number) const {
  for (int i = 0; i < count; ++i) {
    if (items[i].number == number) return &items[i];
  }
  return nullptr;
}

void CaptureBoardSettings(const WheelParameterTable& table, uint32_t firmwareVersion, BoardSettings* out) {
  *out = BoardSettings{};
  out->firmwareVersion = firmwareVersion;
  for (const WheelParameter& entry : table.entries) {
    // 254 is read only, 255 is not the board's.
    if (entry.number < 254) Add(out, entry.number, WireSize(entry.sizeIndex), entry.value);
  }
  for (int i = 0; i < kMappingByteCount; ++i) Add(out, static_cast<uint8_t>(36 + i), 1, table.mapping[i]);
  for (int j = 0; j < kAnalogCount; ++j) {
    Add(out, static_cast<uint8_t>(72 + j), 1, table.analogSettings[j]);
    Add(out, static_cast<uint8_t>(80 + 2 * j), 2, table.analogCurves[j].value);
  }
  Add(out, 25, 1, table.externalGainMarker);
}

bool SaveBoardSettingsFile(const char* file, const BoardSettings& settings, const char* date) {
  const SaveContext save{&settings, date};
  return WriteScriptSection(file, kBoardBackupSection, AddBackupKeys, &save);
}

bool SaveBoardSettingsUserFile(const char* utf8Path, const BoardSettings& settings, const char* date) {
  ScriptDocument* document = NewUserScript(utf8Path);
  if (!document) return false;
  const SaveContext save{&settings, date};
  const bool ok = BeginSection(document, kBoardBackupSection) && AddBackupKeys(document, &save) &&
                  WriteSection(document);
  if (!ok) LogPrintf(0, "SaveBoardSettings: %s not written", utf8Path);
  DeleteScriptDocument(document);
  return ok;
}

BoardFileRead LoadBoardSettingsUserFile(const char* utf8Path, BoardSettings* out, BoardFileCheck* check) {
  *out = BoardSettings{};
  *check = BoardFileCheck{};
  ScriptDocument* document = OpenUserScript(utf8Path, kBoardFileMax);
  if (!document) return BoardFileRead::kUnreadable;
  const WheelParameterTable defaults;
  LoadContext load;
  CaptureBoardSettings(defaults, 0, &load.layout);
  load.out = out;
  load.check = check;
  load.table = &defaults;
  document->context = &load;
  ReadSection(document, kBoardBackupSection, kBackupKeys, ReadBackupLine);
  DeleteScriptDocument(document);
  if (check->problem[0] != 0) {
    *out = BoardSettings{};
    return BoardFileRead::kDamaged;
  }
  PutInWritingOrder(out);
  return out->count > 0 ? BoardFileRead::kRead : BoardFileRead::kNotBoardSettings;
}

int CountDifferences(const BoardSettings& now, const BoardSettings& file) {
  int count = 0;
  for (int i = 0; i < file.count; ++i) {
    const BoardSetting* current = now.Find(file.items[i].number);
    if (current == nullptr || current->value != file.items[i].value) ++count;
  }
  return count;
}

void BoardSettingName(uint8_t number, char* out, size_t size) {
  static const struct { uint8_t number; const char* name; } kNames[] = {
      {4, "Offset"}, {8, "Max Angle"}, {12, "Encoder"}, {16, "Debug Level"}, {17, "Main Gain"},
      {18, "Spring"}, {19, "Friction"}, {20, "Damper"}, {21, "Inertia"}, {22, "Constant"}, {23, "Sine"},
      {24, "Force table"}, {25, "External Gain input"}, {26, "Desktop Spring"}, {27, "Desktop Damper"},
      {28, "Steering Stop Spring"}, {29, "Steering Stop Damper"}, {30, "User Spring"},
      {31, "User Friction"}, {32, "User Damper"}, {33, "User Inertia"}, {34, "Invert/Manual"},
      {35, "Command Mode"}, {77, "Filter"}, {79, "PWM Frequency"}};
  for (const auto& entry : kNames) {
    if (entry.number == number) {
      snprintf(out, size, "%s", entry.name);
      return;
    }
  }
  if (number >= 36 && number <= 71) {
    snprintf(out, size, "Mapping %d", number - 36 + 1);
  } else if (number >= 72 && number <= 75) {
    snprintf(out, size, "Analog input %d", number - 72 + 1);
  } else if (number >= 80 && number <= 86 && number % 2 == 0) {
    snprintf(out, size, "Analog curve %d", (number - 80) / 2 + 1);
  } else {
    snprintf(out, size, "Parameter %d", number);
  }
}

bool LoadBoardSettingsFile(const char* file, BoardSettings* out) {
  *out = BoardSettings{};
  LoadContext load;
  CaptureBoardSettings(WheelParameterTable{}, 0, &load.layout);
  load.out = out;
  if (!ReadScriptSection(file, kBoardBackupSection, kBackupKeys, ReadBackupLine, &load)) return false;
  PutInWritingOrder(out);
  return out->count > 0;
}

void PutInWritingOrder(BoardSettings* settings) {
  BoardSettings ordered;
  ordered.firmwareVersion = settings->firmwareVersion;
  auto take = [&](const BoardSetting& s) { ordered.items[ordered.count++] = s; };
  for (uint8_t number : kProfileWriteOrder) {
    if (const BoardSetting* s = settings->Find(number)) take(*s);
  }
  for (int i = 0; i < settings->count; ++i) {
    const BoardSetting& s = settings->items[i];
    bool inProfile = s.number == kDebugLevelParameter;
    for (uint8_t number : kProfileWriteOrder) inProfile = inProfile || number == s.number;
    if (!inProfile) take(s);
  }
  if (const BoardSetting* debug = settings->Find(kDebugLevelParameter)) take(*debug);
  *settings = ordered;
}

int WriteBoardSettings(WheelLink& link, const BoardSettings& settings, BoardWriteResult* result) {
  BoardWriteResult local;
  BoardWriteResult& r = result ? *result : local;
  r = BoardWriteResult{};
  link.WaitNotBusy();
  int total = 0;
  for (int i = 0; i < settings.count; ++i) total += settings.items[i].number != kDebugLevelParameter;
  for (int i = 0; i < settings.count; ++i) {
    const BoardSetting& s = settings.items[i];
    if (s.number == kDebugLevelParameter) continue;
    if (!link.channel->IsOpen() || !link.WriteParameterRaw(s.number, s.bytes, s.value)) {
      LogPrintf(0, "RestoreBoardSettings: the board went away after %d of %d settings", r.written, total);
      r.boardGone = true;
      r.missed = total - r.written;
      return settings.count - r.written;
    }
    ++r.written;
  }
  return FinishBoardSettings(link, settings, &r);
}

int WriteBoardSettingsFrom(WheelLink& link, const BoardSettings& settings, int from, int count) {
  int i = from;
  for (; i < settings.count && i < from + count; ++i) {
    const BoardSetting& s = settings.items[i];
    if (s.number != kDebugLevelParameter) link.WriteParameterRaw(s.number, s.bytes, s.value);
  }
  return i;
}

int FinishBoardSettings(WheelLink& link, const BoardSettings& settings, BoardWriteResult* result) {
  link.ReadAllParameters();
  BoardSettings back;
  CaptureBoardSettings(link.parameters, link.firmwareVersion, &back);
  int missed = 0;
  for (int i = 0; i < settings.count; ++i) {
    const BoardSetting& s = settings.items[i];
    if (s.number == kDebugLevelParameter) continue;
    const BoardSetting* now = back.Find(s.number);
    if (link.linkState < kWheelFound || now == nullptr || now->value != s.value) {
      LogPrintf(0, "RestoreBoardSettings: parameter %d is %d on the board, not %d", s.number,
                now ? now->value : 0, s.value);
      if (result) result->missedNumbers[result->missed++] = s.number;
      ++missed;
    }
  }
  if (const BoardSetting* debug = settings.Find(kDebugLevelParameter)) {
    if (link.linkState >= kWheelFound) {
      link.WriteParameterRaw(debug->number, debug->bytes, debug->value);
      link[kEntryDebugLevel].value = debug->value;
    }
  }
  return missed;
}
