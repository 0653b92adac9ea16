#include "update/board_backup.h"

#include "exec/log.h"
#include "script/script.h"

namespace {

enum BackupKey : uint16_t { kFirmware = 0, kParam = 1 };
const ScriptKey kBackupKeys[] = {{"FIRMWARE", kFirmware, 1}, {"PARAM", kParam, 2}, {nullptr, 0, 0}};


void Add(BoardSettings* out, uint8_t number, uint8_t bytes, int32_t value) {
  if (out->count < kBoardSettingCount) out->items[out->count++] = BoardSetting{number, bytes, value};
}

bool AddBackupKeys(ScriptDocument* document, const void* context) {
  const BoardSettings& settings = *static_cast<const BoardSettings*>(context);
  bool ok = AddUnsigned(AddKey(document, kBackupKeys, kFirmware), settings.firmwareVersion);
  for (int i = 0; i < settings.count && ok; ++i) {
    ScriptKeyLine* line = AddKey(document, kBackupKeys, kParam);
    ok = AddNumber(line, settings.items[i].number) && AddNumber(line, settings.items[i].value);
  }
  return ok;
}

struct LoadContext {
  BoardSettings layout;  // every known parameter
  BoardSettings* out;
};

int ReadBackupLine(uint16_t id, ScriptCursor* cursor) {
  LoadContext* load = static_cast<LoadContext*>(cursor->context);
  if (id == kFirmware) {
    load->out->firmwareVersion = static_cast<uint32_t>(NextNumber(cursor));
    return 0;
  }
  const int32_t number = NextNumber(cursor);
  const int32_t value = NextNumber(cursor);
  if (number < 0 || number > 255) return 0;
  const BoardSetting* known = load->layout.Find(static_cast<uint8_t>(number));
  if (known == nullptr) return 0;  // not a setting of the bulk read: never written
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

bool SaveBoardSettingsFile(const char* file, const BoardSettings& settings) {
  return WriteScriptSection(file, kBoardBackupSection, AddBackupKeys, &settings);
}

bool LoadBoardSettingsFile(const char* file, BoardSettings* out) {
  *out = BoardSettings{};
  LoadContext load;
  CaptureBoardSettings(WheelParameterTable{}, 0, &load.layout);
  load.out = out;
  if (!ReadScriptSection(file, kBoardBackupSection, kBackupKeys, ReadBackupLine, &load)) return false;
  return out->count > 0;
}

int WriteBoardSettings(WheelLink& link, const BoardSettings& settings) {
  link.WaitNotBusy();
  WriteBoardSettingsFrom(link, settings, 0, settings.count);
  return FinishBoardSettings(link, settings);
}

int WriteBoardSettingsFrom(WheelLink& link, const BoardSettings& settings, int from, int count) {
  int i = from;
  for (; i < settings.count && i < from + count; ++i) {
    const BoardSetting& s = settings.items[i];
    if (s.number != kDebugLevelParameter) link.WriteParameterRaw(s.number, s.bytes, s.value);
  }
  return i;
}

int FinishBoardSettings(WheelLink& link, const BoardSettings& settings) {
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
