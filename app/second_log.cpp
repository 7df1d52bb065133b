#include "app/second_log.h"

#include <algorithm>
#include <cstdio>

#include "spl/weighting_design_goal.h"

namespace tarnwick {
namespace {

int64_t FloorSecond(int64_t ms) {
    return ms >= 0 ? ms / kMsPerSecond : (ms - kMsPerSecond + 1) / kMsPerSecond;
}

// "2 h 05 min 03 s", "10 min 00 s", "42 s".
std::string StepText(int64_t seconds) {
    char text[48];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld h %02lld min %02lld s", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else if (seconds >= 60) {
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
    }
    return text;
}

}  // namespace

SecondLog::SecondLog(MeterApp& app, IClock& clock, IRowFiles& files, bool withSoundLevel, Tell tell)
    : app_(app),
      clock_(clock),
      files_(files),
      withSoundLevel_(withSoundLevel),
      tell_(std::move(tell)),
      row_(withSoundLevel) {}

std::string SecondLog::Open(const std::string& folder) {
    Close();
    if (std::string error = files_.MakeFolder(folder); !error.empty()) {
        return error;
    }
    if (std::string error = files_.ClaimFolder(folder); !error.empty()) {
        return error;
    }
    // Uncalibrated levels have columns of their own names: they never share
    // a file with sound pressure levels.
    const char* header = !withSoundLevel_ ? kDailyLogHeader
                         : app_.settings().SplSensitivity
                             ? kDailyLogHeaderWithSoundLevel
                             : kDailyLogHeaderWithUncalibratedSoundLevel;
    folder_ = folder;
    // The bands' columns after today's.
    std::string columns = header;
    columns.insert(columns.size() - 1,
                   BandColumns(app_.Bands(), app_.settings().SplSensitivity.has_value()));
    bandColumns_ = app_.Bands() != nullptr ? app_.Bands()->Bands().size() : 0;
    daily_.emplace(files_, folder, columns);
    if (const std::optional<int64_t> last = daily_->LastRowSecond(clock_.NowZoned())) {
        lastWrittenSecond_ = std::max(lastWrittenSecond_, *last);
    }
    return {};
}

void SecondLog::Close() {
    if (daily_) {
        daily_.reset();
        files_.ReleaseFolder(folder_);
        folder_.clear();
    }
}

void SecondLog::Begin() {
    // What the meter gathered before is no part of the first row.
    row_.Drop(app_);
    const ZonedDateTime now = clock_.NowZoned();
    rowSecond_ = FloorSecond(now.utcMs);
    rowOffsetS_ = now.utcOffsetS;
}

bool SecondLog::Poll() {
    const ZonedDateTime now = clock_.NowZoned();
    const int64_t second = FloorSecond(now.utcMs);
    if (second == rowSecond_) {
        return false;
    }
    WriteRow(rowSecond_, rowOffsetS_);
    if (second < rowSecond_ || second - rowSecond_ - 1 > kLongestFilledStepS) {
        ClockStepped(second, now);
    } else {
        // Seconds the loop stood still through, or the clock skipped: each
        // has its row, without figures.
        for (int64_t s = rowSecond_ + 1; s < second; ++s) {
            WriteRow(s, now.utcOffsetS);
        }
    }
    rowSecond_ = second;
    rowOffsetS_ = now.utcOffsetS;
    return true;
}

void SecondLog::Finish() {
    WriteRow(rowSecond_, rowOffsetS_);
}

void SecondLog::AddEvent(const std::string& what) {
    event_ = event_.empty() ? what : event_ + " " + what;
}

void SecondLog::NoticeTest() {
    if (app_.testRun().TestRunning != running_) {
        running_ = app_.testRun().TestRunning;
        AddEvent(running_ ? "start" : "stop");
    }
}

void SecondLog::ScreenSecond(int64_t second) {
    const BandMeter* bands = app_.Bands();
    if (bands == nullptr) {
        minute_.reset();
        return;
    }
    const std::vector<double>& levels = row_.LastBands();
    if (!minute_ || minuteBands_ != levels.size()) {
        std::vector<double> a;
        std::vector<double> c;
        for (const Band& band : bands->Bands()) {
            a.push_back(WeightingDesignGoalDb(FrequencyWeighting::kA, band.midHz));
            c.push_back(WeightingDesignGoalDb(FrequencyWeighting::kC, band.midHz));
        }
        minute_.emplace(bands->Bands(), bands->Width(), std::move(a), std::move(c),
                        lowFrequencyDb_);
        minuteBands_ = levels.size();
    }
    std::vector<double> z(levels.size());
    for (size_t b = 0; b < levels.size(); ++b) {
        z[b] = levels[b] - bands->WeightingDb(b);
    }
    minute_->Add(z, row_.LastBandSeconds());
    constexpr int64_t kSecondsPerMinute = 60;
    if ((second + 1) % kSecondsPerMinute != 0) {
        return;
    }
    if (const std::optional<MinuteScreens> screens = minute_->EndMinute()) {
        if (const std::string events = screens->Events(); !events.empty()) {
            AddEvent(events);
        }
        if (minuteObserver_) {
            minuteObserver_(*screens);
        }
    }
}

void SecondLog::ClockStepped(int64_t second, const ZonedDateTime& now) {
    const int64_t from = rowSecond_;
    if (second < from) {
        // The rows written stand; rows go on from the first second after
        // them, when the clock has caught up.
        const int64_t resume = std::max(lastWrittenSecond_, from) + 1;
        tell_("The clock was set back by " + StepText(from + 1 - second) + " (to " +
                  Iso8601(ZonedDateTime{second * kMsPerSecond, now.utcOffsetS}) +
                  "): no rows until " +
                  Iso8601(ZonedDateTime{resume * kMsPerSecond, now.utcOffsetS}) +
                  ", the first second not written yet.",
              "Clock");
        return;
    }
    tell_("The clock was set forward by " + StepText(second - from - 1) + " (to " +
              Iso8601(ZonedDateTime{second * kMsPerSecond, now.utcOffsetS}) +
              "): the seconds it skipped have no rows.",
          "Clock");
}

void SecondLog::WriteRow(int64_t second, int32_t offsetS) {
    NoticeTest();
    if (const LoudnessMeter* loudness = app_.Loudness();
        loudness != nullptr && loudness->NonFiniteSamples() > nonFiniteSeen_) {
        nonFiniteSeen_ = loudness->NonFiniteSamples();
        AddEvent("nonfinite");
    }
    if (second <= lastWrittenSecond_) {
        // Written already (by a run before a restart, or before the clock was
        // set back). Its figures go into no row, only into what is served of
        // the last second; its events and dropouts go into the next row
        // written.
        lastRowHadBlocks_ = row_.HasBlocks();
        row_.Drop(app_);
        ScreenSecond(second);
        return;
    }
    lastWrittenSecond_ = second;
    lastRowHadBlocks_ = row_.HasBlocks();
    row_.TakeFigures(app_);
    ScreenSecond(second);
    const std::string fields = row_.Format(app_, dropouts_, event_, bandColumns_);
    dropouts_ = 0;
    event_.clear();
    if (!daily_) {
        return;
    }
    const ZonedDateTime at{second * kMsPerSecond, offsetS};
    if (!daily_->AddRow(at, fields)) {
        ++writeFailures_;
        if (daily_->Error() != lastLogError_) {
            // Once per kind of failure, not once a second.
            tell_(daily_->Error(), "Log file");
        }
    } else if (const std::string remade = daily_->TakeRemade(); !remade.empty()) {
        tell_(remade + " was missing: made again with its header.", "Log file");
    }
    if (const std::string notice = daily_->TakeNotice(); !notice.empty()) {
        tell_(notice, "Log file");
    }
    lastLogError_ = daily_->Error();
}

}  // namespace tarnwick
