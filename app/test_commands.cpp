// The test clock: starting and stopping a test, the per-block tick that drives
// the time readouts and makes due saves, and the timers that act on a test.

#include "app/meter_app.h"
#include "results/duration_format.h"
#include "results/save_schedule.h"

namespace tarnwick {

void MeterApp::StartStopButtonClick() {
    if (!run_.TestRunning) {
        capture_.output().Reset();
        if (replaying_) {
            ToggleReplay();
        }
        // The stored test audio begins afresh.
        store_.StorePosition = 0;
        run_.TestRunning = true;
        view_.StartStopButtonDown = true;
        view_.StartStopPicture = 1;
        view_.StartStopHint = kStartStopHintRunning;
        secondTimer_->Arm();
        const uint32_t start = ports_.clock.TickCount();
        ResetPeriod(run_, stats_, start);
        if (loudness_ != nullptr) {
            loudness_->RestartTest();
            loudness_->RestartPeriod();
        }
        if (soundLevel_ != nullptr) {
            soundLevel_->RestartTest();
        }
        if (resultsOctaves_ != nullptr) {
            resultsOctaves_->Restart();
        }
        for (HeldLimit* held : {&soundLevelLimit_, &soundLevelLimitC_}) {
            if (held->limit != nullptr) {
                held->limit->Restart();
            }
        }
        // The first interval over or under a target is counted from the start,
        // never from a block before it: a stall of the loop just before START
        // would otherwise give more than 100 % of the period.
        stats_.OverMarkTick = start;
        stats_.UnderMarkTick = start;
        ScheduleSaves();
        ResetForTestStart(graph_);
        view_.LongAvgDisplay.clear();
        if (bitmap_ != nullptr) {
            // The start of the test, marked at the right edge in the inverse of
            // the background.
            bitmap_->SetPenColour(settings_.Scolor ^ 0xFFFFFFu);
            bitmap_->SetPenWidth(1);
            bitmap_->MoveTo(509, 392);
            bitmap_->LineTo(509, 14);
        }
        return;
    }
    secondTimer_->Disarm();
    run_.TestRunning = false;
    view_.StartStopButtonDown = false;
    view_.StartStopPicture = 0;
    view_.StartStopHint = kStartStopHintStopped;
    if (settings_.SaveOnStop) {
        SaveResultsNow();
    }
}

void MeterApp::ScheduleSaves() {
    tarnwick::ScheduleSaves(run_, ports_.clock.Now(), settings_.SaveMins);
}

void MeterApp::RescheduleMinuteSave() {
    run_.ScheduledFrom = ports_.clock.Now();
    run_.NextMinuteSaveTime = MinutesFromNow(run_.ScheduledFrom, settings_.SaveMins);
}

void MeterApp::RescheduleHourSave() {
    run_.ScheduledFrom = ports_.clock.Now();
    run_.NextHourSaveTime = NextWholeHour(run_.ScheduledFrom);
}

void MeterApp::SecondTimerTimer() {
    run_.SecondElapsed = true;
}

void MeterApp::AutoStartTimerTimer() {
    if (!run_.TestRunning) {
        StartStopButtonClick();
        autoStartTimer_->Disarm();
    }
}

void MeterApp::AutoStopTimerTimer() {
    if (run_.TestRunning) {
        StartStopButtonClick();
        autoStopTimer_->Disarm();
    }
}

void MeterApp::CheckBox1Click(bool checked) {
    view_.CheckBox1Checked = checked;
    settings_.AutoStart = checked;
}

std::string MeterApp::DateTimeText(LocalDateTime t) {
    std::string text = ports_.formats.ShortDate(t);
    if (!IsMidnight(t)) {
        text += " " + ports_.formats.LongTime(t);
    }
    return text;
}

void MeterApp::UpdateNextSaveLabel(LocalDateTime now) {
    const bool hours = settings_.SaveOnHours;
    const bool minutes = settings_.SaveOnMinutes;
    if (!hours && !minutes) {
        view_.Label3 = kNotScheduled;
        nextSaveLabelKey_ = NextSaveLabelKey{};
        return;
    }
    LocalDateTime next = run_.NextMinuteSaveTime;
    if (!minutes || (hours && run_.NextHourSaveTime < run_.NextMinuteSaveTime)) {
        next = run_.NextHourSaveTime;
    }
    const NextSaveLabelKey key{next, now.ms / kMsPerSecond};
    if (key == nextSaveLabelKey_) {
        return;
    }
    nextSaveLabelKey_ = key;
    view_.Label3 = DateTimeText(next) + "    " + ports_.formats.LongTime(now);
}

void MeterApp::TestTick() {
    if (!run_.TestRunning && !replaying_) {
        return;
    }
    view_.OverTimeDisplay = FormatDuration(static_cast<uint32_t>(stats_.OverTargetMs), true);
    view_.Undertimedisplay = FormatDuration(static_cast<uint32_t>(stats_.UnderTargetMs), true);
    const uint32_t elapsed = ports_.clock.TickCount() - run_.PeriodStartTick;
    if (!replaying_) {
        // A replay lasts as long as the period has.
        replayTimer_->SetInterval(elapsed);
    }
    view_.ElapTimeDisplay = FormatDuration(elapsed, false);

    const LocalDateTime now = ports_.clock.Now();
    if (now < run_.ScheduledFrom) {
        // The clock was set back past the last save (the end of daylight saving
        // time, say): waiting for it to pass the old save times again would
        // leave up to an hour without records. A clock set forward keeps its
        // catch-up below.
        ScheduleSaves();
    }
    if (settings_.FileOpen && (inputWatch_ == nullptr || !inputWatch_->Lost())) {
        UpdateNextSaveLabel(now);
    }
    if (now > run_.NextHourSaveTime && settings_.FileOpen && settings_.SaveOnHours) {
        SaveResultsNow();
        run_.NextHourSaveTime = AddMs(run_.NextHourSaveTime, HourSaveStepMs(settings_.SaveHours));
        run_.ScheduledFrom = now;
    }
    if (now > run_.NextMinuteSaveTime && settings_.FileOpen && settings_.SaveOnMinutes) {
        SaveResultsNow();
        run_.ScheduledFrom = ports_.clock.Now();
        run_.NextMinuteSaveTime = MinutesFromNow(run_.ScheduledFrom, settings_.SaveMins);
    }
}

}  // namespace tarnwick
