#include "wheel/board_reports.h"

#include "exec/log.h"
#include "wheel/wheel_link.h"

int BoardReportParser::Feed(const uint8_t* bytes, uint32_t count, BoardReport* out, int maxReports,
                            uint32_t* used) {
  int made = 0;
  uint32_t i = 0;
  for (; i < count && made < maxReports; ++i) {
    const uint8_t b = bytes[i];
    if (have_ < 0) {
      if (b == '#') {
        have_ = 0;
      } else {
        ++garbage_;
      }
      continue;
    }
    bytes_[have_++] = b;
    if (have_ == 4) {
      out[made++] = BoardReport{bytes_[0], bytes_[1], static_cast<int16_t>(bytes_[2] << 8 | bytes_[3])};
      have_ = -1;
    }
  }
  if (used) *used = i;
  return made;
}

void ReportSummary::AddGarbage(uint32_t bytes, uint64_t nowMs) {
  if (bytes == 0) return;
  if (!started_) {
    started_ = true;
    since_ = nowMs;
  }
  garbage_ += bytes;
}

void ReportSummary::Add(const BoardReport& report, uint64_t nowMs) {
  if (!started_) {
    started_ = true;
    since_ = nowMs;
  }
  ++count_;
  if (report.kind == kReportTorque) {
    if (torque_ == 0 || report.value < minimum_) minimum_ = report.value;
    if (torque_ == 0 || report.value > maximum_) maximum_ = report.value;
    ++torque_;
    if (IsClippedTorque(report.value)) ++clipped_;
  } else if (report.kind >= kReportFirstError) {
    ++errors_;
    if (errorLines_ < kErrorLinesPerSecond) {
      ++errorLines_;
      LogPrintf(0, "%s : %d : %d", ReportKindName(report.kind), report.small, report.value);
    }
  }
}

void ReportSummary::Flush(uint64_t nowMs) {
  if (!started_ || nowMs - since_ < kReportSummaryMs) return;
  const double share = torque_ ? 100.0 * clipped_ / torque_ : 0.0;
  LogPrintf(0, "ReadBoardReports: %u reports in %u ms, torque %u (min %d, max %d, clipping %.1f %%), errors %u, "
            "other bytes %u",
            count_, static_cast<unsigned>(nowMs - since_), torque_, minimum_, maximum_, share, errors_, garbage_);
  *this = ReportSummary();
}
