#pragma once
// SecondLog: the rows of the per-second day log, as the logger and the meter
// window both write them, free of any toolkit. Each second of the wall clock
// gets one row in the day log of its local day (DailyLog), with the figures of
// the blocks that came in it (SecondRow), its dropouts and its events.
//
// The rules it keeps:
// - There is a row for every second, stamped with its UTC offset, with empty
//   figures for a second without blocks; a second is never written twice,
//   not even across a restart. The wall clock set back: a message, and rows
//   go on from the first second not written yet; set forward: the seconds it
//   skipped get empty rows, up to an hour of them, and a message.
// - Files are appended to, never emptied, and come back when deleted; a
//   failure to write is told once per kind, not once a second.
//
// The owner gives it every block (AddBlock) and polls it often (Poll, on each
// block and from a timer of a tenth of a second): a row is written once its
// second is over. Everything runs on one thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/daily_log.h"
#include "app/meter_app.h"
#include "app/second_row.h"
#include "bands/minute_indicators.h"
#include "core/ports/row_files.h"

namespace tarnwick {

class SecondLog {
public:
    // A wall clock set forward by up to this many seconds gets an empty row
    // for each second it skipped; a longer step gets a message instead.
    static constexpr int64_t kLongestFilledStepS = 3600;

    // Told what the user should know: a text and its caption.
    using Tell = std::function<void(const std::string& text, const std::string& caption)>;

    // Rows with sound level (LAeq ... LCeq) when `withSoundLevel`; the
    // sound level meter's interval is then this log's to take.
    SecondLog(MeterApp& app, IClock& clock, IRowFiles& files, bool withSoundLevel, Tell tell);

    // Makes `folder`, claims it (one program's rows to a folder) and writes
    // the rows there from the next second on, under the header of the
    // columns (sound pressure levels, or levels relative to full scale
    // without a sensitivity). Empty, or why not.
    std::string Open(const std::string& folder);
    // No more rows to a file; the folder is free for another program.
    void Close();
    ~SecondLog() { Close(); }
    SecondLog(const SecondLog&) = delete;
    SecondLog& operator=(const SecondLog&) = delete;
    // Starts with the second now; what the meter gathered before is
    // dropped. Without a folder open the rows are gathered and given to no
    // file.
    void Begin();
    // Each block the meter processed.
    void AddBlock() { row_.AddBlock(app_); }
    // Writes the rows of the seconds that are over; true when a second
    // passed since the last poll.
    bool Poll();
    // The row of the second being gathered, as at a stop.
    void Finish();

    void AddEvent(const std::string& what);
    // With bands measured, each minute of the wall clock is screened for
    // low-frequency sound over `lowFrequencyDb` and for tones
    // (bands/minute_indicators.h): the events go into the minute's last
    // row, and `observer` is told of every minute screened.
    void ScreenMinutes(double lowFrequencyDb, std::function<void(const MinuteScreens&)> observer) {
        lowFrequencyDb_ = lowFrequencyDb;
        minuteObserver_ = std::move(observer);
    }
    void AddDropout() { ++dropouts_; }
    // A test that started or stopped since the last look is an event of
    // the row being gathered.
    void NoticeTest();

    // The row last taken (or dropped) had blocks; and the one being
    // gathered has some.
    bool LastRowHadBlocks() const { return lastRowHadBlocks_; }
    bool GatheringBlocks() const { return row_.HasBlocks(); }
    const SoundLevelFigures& LastSoundLevel() const { return row_.LastSoundLevel(); }
    const SecondRow& Row() const { return row_; }
    uint64_t WriteFailures() const { return writeFailures_; }
    const std::string& Folder() const { return folder_; }

private:
    // Writes the row of UTC second `second` in the zone offset `offsetS`.
    void WriteRow(int64_t second, int32_t offsetS);
    // The bands of the second just taken, for the minute's screens; at the
    // minute's end, its events.
    void ScreenSecond(int64_t second);
    // The wall clock stepped from the second being gathered to `second`.
    void ClockStepped(int64_t second, const ZonedDateTime& now);

    MeterApp& app_;
    IClock& clock_;
    IRowFiles& files_;
    bool withSoundLevel_;
    Tell tell_;
    std::string folder_;
    std::optional<DailyLog> daily_;
    SecondRow row_;
    size_t bandColumns_ = 0;  // in the file's header
    std::optional<MinuteIndicators> minute_;
    size_t minuteBands_ = 0;
    double lowFrequencyDb_ = kDefaultLowFrequencyDb;
    std::function<void(const MinuteScreens&)> minuteObserver_;
    bool running_ = false;                   // the test, as last seen
    std::string event_;                      // of the row being gathered
    int32_t dropouts_ = 0;                   // in the row being gathered
    int64_t rowSecond_ = 0;                  // UTC second of the row being gathered
    int32_t rowOffsetS_ = 0;                 // its zone offset
    int64_t lastWrittenSecond_ = INT64_MIN;  // no row at or before it is written
    uint64_t nonFiniteSeen_ = 0;             // samples that were no numbers, told so far
    std::string lastLogError_;
    bool lastRowHadBlocks_ = false;
    uint64_t writeFailures_ = 0;
};

}  // namespace tarnwick
