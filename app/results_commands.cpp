// The results file commands: attaching a file with Save As, detaching it, and
// appending one record per save.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "app/meter_app.h"
#include "results/numbered_file_name.h"
#include "results/results_records.h"
#include "results/save_schedule.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"

namespace tarnwick {
namespace {

constexpr int kFileTypeText = 1;
constexpr int kFileTypeCsv = 2;

// A file's start read to compare its header: room for the header this run
// writes and a start date written longer.
constexpr size_t kHeaderSlackBytes = 256;

const char* const kResultsFilter =
    "All results files (*.csv,*.txt)|*.CSV;*.TXT|Text files (*.txt)|*.TXT|CSV files "
    "(*.csv)|*.CSV|";

// The part after the last separator.
std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder, ending in a separator.
std::string FolderPart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// From the last dot of the file name on, dot included; empty when there is
// none, or when what follows the dot is no file type: a blank, or no letter
// at all, is the rest of a date with dots in it ("10. Dezember 2026 1249 ",
// "10.12.2026"), which must not keep the name from its type's extension.
std::string Extension(const std::string& path) {
    const std::string name = FileNamePart(path);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        return std::string();
    }
    const std::string extension = name.substr(dot);
    bool blank = false;
    bool letter = false;
    for (const unsigned char c : extension) {
        blank = blank || std::isspace(c) != 0;
        letter = letter || std::isalpha(c) != 0;
    }
    return blank || !letter ? std::string() : extension;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

void MeterApp::AttachResultsFile(const std::string& path) {
    view_.Label1 = kLogFilePrefix + FileNamePart(path);
}

void MeterApp::SaveAs1Click() {
    if (settings_.FileOpen) {
        return;
    }
    const LocalDateTime now = ports_.clock.Now();
    const CivilDateTime civil = ToCivil(now);
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d%02d", civil.hour, civil.minute);

    SaveFileRequest request;
    request.filter = kResultsFilter;
    request.filterIndex = settings_.FileTypes + 1;
    request.proposedName =
        settings_.TestName + " " + ports_.formats.LongDate(now) + " " + hhmm + " ";
    request.initialFolder = settings_.Folder;
    request.promptOverwrite = true;
    const std::optional<SaveFileAnswer> answer = ports_.dialogs.SaveFile(request);
    if (!answer) {
        return;
    }
    NameResultsFile(answer->path, answer->filterIndex);
    if (!ClaimResultsFile()) {
        return;
    }
    // The user agreed to replace an existing file.
    const FileResult created = ports_.files.CreateWith(settings_.Filename, ResultsHeaderText(now));
    if (!created.ok()) {
        ports_.files.Release(settings_.Filename);
        resultsClaimed_ = false;
        ports_.dialogs.MessageBox(created.message, kApplicationTitle);
        return;
    }
    MarkResultsFileAttached(now);
}

bool MeterApp::AttachResultsFileForAppend(const std::string& path) {
    if (settings_.FileOpen) {
        CloseFile1Click();
    }
    const LocalDateTime now = ports_.clock.Now();
    NameResultsFile(path, 1);
    const FileResult found = FindResultsFileForAppend(now);
    if (!found.ok()) {
        ports_.dialogs.MessageBox(found.message, kApplicationTitle);
        return false;
    }
    MarkResultsFileAttached(now);
    return true;
}

FileResult MeterApp::FindResultsFileForAppend(LocalDateTime now) {
    const std::string header = ResultsHeaderText(now);
    // How the file at `path` differs from this run's header; none when it
    // is missing, empty or of this header.
    const auto differenceOf = [&](const std::string& path) -> std::optional<THeaderDifference> {
        std::string start;
        if (!ports_.files.ReadStart(path, header.size() + kHeaderSlackBytes, start).ok() ||
            start.empty()) {
            return std::nullopt;
        }
        return CompareResultsHeader(start, header);
    };
    std::optional<THeaderDifference> askedDifference;
    for (int n = 1; n <= kLastFileNumber; ++n) {
        const std::string path = NumberedFileName(askedResultsFile_, n);
        std::optional<THeaderDifference> difference = differenceOf(path);
        if (!difference) {
            settings_.Filename = path;
            const FileResult claimed =
                ports_.files.Claim(path, writeResultsAlone_, /*create=*/true);
            if (!claimed.ok()) {
                return {claimed.error, claimed.error == kFileClaimedError
                                           ? claimed.message
                                           : path + ": " + claimed.message};
            }
            // Looked at again now that it is held: another program may have
            // begun it since.
            difference = differenceOf(path);
            if (!difference) {
                const FileResult begun = ports_.files.StartWith(path, header);
                if (!begun.ok()) {
                    ports_.files.Release(path);
                    return {begun.error, path + ": " + begun.message};
                }
                resultsClaimed_ = true;
                if (n > 1) {
                    // Told, and no failure: the records are kept, beside.
                    ports_.dialogs.Notice("Records go to " + path + ": " + askedResultsFile_ +
                                              " has \"" + askedDifference->file +
                                              "\" where this run writes \"" + askedDifference->run +
                                              "\".",
                                          kApplicationTitle);
                }
                return {};
            }
            ports_.files.Release(path);
        }
        if (n == 1) {
            askedDifference = difference;
        }
    }
    settings_.Filename = askedResultsFile_;
    return {kFileClaimedError, askedResultsFile_ + " and its numbered files up to " +
                                   NumberedFileName(askedResultsFile_, kLastFileNumber) +
                                   " hold records under other headers: nothing is written."};
}

void MeterApp::NameResultsFile(const std::string& path, int filterIndex) {
    settings_.Filename = path;
    settings_.Folder = FolderPart(settings_.Filename);
    const std::string extension = Lower(Extension(settings_.Filename));
    if (extension == ".txt" || filterIndex == 2) {
        settings_.FileTypes = kFileTypeText;
    }
    if (extension == ".csv" || filterIndex == 3) {
        settings_.FileTypes = kFileTypeCsv;
    }
    if (extension.empty()) {
        if (settings_.FileTypes == kFileTypeText) {
            settings_.Filename += ".txt";
        } else if (settings_.FileTypes == kFileTypeCsv) {
            settings_.Filename += ".csv";
        }
    }
    askedResultsFile_ = settings_.Filename;
}

bool MeterApp::ClaimResultsFile() {
    const FileResult claimed =
        ports_.files.Claim(settings_.Filename, writeResultsAlone_, /*create=*/true);
    if (!claimed.ok()) {
        ports_.dialogs.MessageBox(claimed.error == kFileClaimedError
                                      ? claimed.message
                                      : settings_.Filename + ": " + claimed.message,
                                  kApplicationTitle);
        return false;
    }
    resultsClaimed_ = true;
    return true;
}

std::string MeterApp::ResultsHeaderText(LocalDateTime now) {
    TResultsHeader header;
    header.testName = settings_.TestName;
    header.longDate = ports_.formats.LongDate(now);
    header.channel = settings_.Channel;
    header.displayOffset = settings_.DisplayOffset;
    header.upperVol = settings_.UpperVol;
    header.lowerVol = settings_.LowerVol;
    header.loudness = settings_.LoudnessInResults;
    header.soundLevel = settings_.SplInResults;
    header.octaves = settings_.SplOctavesInResults;
    return settings_.FileTypes == kFileTypeCsv ? CsvHeader(header) : TextHeader(header);
}

void MeterApp::MarkResultsFileAttached(LocalDateTime now) {
    settings_.FileOpen = true;
    view_.CloseFile1Enabled = true;
    view_.TBcloseEnabled = true;
    view_.SaveAs1Enabled = false;
    view_.TBopenEnabled = false;
    // The period is not reset: the first record may cover time before the file.
    tarnwick::ScheduleSaves(run_, now, settings_.SaveMins);
    AttachResultsFile(settings_.Filename);
    StoreResultsFileState();
}

void MeterApp::CloseFile1Click() {
    if (settings_.FileOpen) {
        ports_.files.Release(settings_.Filename);
    }
    resultsClaimed_ = false;
    settings_.FileOpen = false;
    view_.SaveAs1Enabled = true;
    view_.TBopenEnabled = true;
    view_.CloseFile1Enabled = false;
    view_.TBcloseEnabled = false;
    view_.Label1 = kNoFileOpenAfterClose;
    StoreResultsFileState();
}

void MeterApp::SaveResultsNow() {
    if ((settings_.FileTypes & kFileTypeText) != 0) {
        WriteRecord(false);
    }
    if ((settings_.FileTypes & kFileTypeCsv) != 0) {
        WriteRecord(true);
    }
    // A failed or skipped save still ends the period.
    ResetPeriod(run_, stats_, ports_.clock.TickCount());
    if (loudness_ != nullptr) {
        loudness_->RestartPeriod();
    }
    if (soundLevel_ != nullptr) {
        soundLevel_->RestartPeriod();
    }
    if (resultsOctaves_ != nullptr) {
        resultsOctaves_->Restart();
    }
}

void MeterApp::WriteRecord(bool csv) {
    if (!settings_.FileOpen) {
        return;
    }
    TResultsRecord record;
    record.periodMs = ports_.clock.TickCount() - run_.PeriodStartTick;
    record.overTargetMs = stats_.OverTargetMs;
    record.underTargetMs = stats_.UnderTargetMs;
    record.systemMax = stats_.SystemMax;
    record.average = view_.LongAvgDisplay;
    record.timeOfDay = ports_.formats.LongTime(ports_.clock.Now());
    record.displayOffset = settings_.DisplayOffset;
    record.calibration = settings_.Calibration;
    record.separator = DecimalSeparator();
    if (settings_.LoudnessInResults) {
        const LoudnessFigures period =
            loudness_ != nullptr ? loudness_->Period() : LoudnessFigures{-HUGE_VAL, 0.0, -HUGE_VAL};
        record.withLoudness = true;
        record.loudness = period.integrated;
        record.loudnessRange = period.range;
        record.truePeak = period.truePeakMax;
    }
    if (settings_.SplInResults) {
        record.withSoundLevel = true;
        const SoundLevelFigures period =
            soundLevel_ != nullptr ? soundLevel_->Period() : SoundLevelFigures{};
        record.laeq = period.laeq;
        record.lafmax = period.lafmax;
        record.lcpeak = period.lcpeak;
        record.la10 = soundLevel_ != nullptr ? soundLevel_->PeriodLevelExceeded(10.0) : kNoLevel;
        record.la90 = soundLevel_ != nullptr ? soundLevel_->PeriodLevelExceeded(90.0) : kNoLevel;
        record.splOverloaded = period.Overloaded();
        record.splUncalibrated = !settings_.SplSensitivity.has_value();
        record.withOctaves = settings_.SplOctavesInResults;
        record.octaveLeq.fill(kNoLevel);
        if (record.withOctaves && resultsOctaves_ != nullptr) {
            const std::vector<double> levels =
                resultsOctaves_->TestLeqDb(MeasuringSensitivity().value_or(0.0));
            for (size_t b = 0; b < levels.size(); ++b) {
                for (size_t o = 0; o < kRecordOctaveCount; ++o) {
                    if (resultsOctaves_->Bands()[b].nominal == kRecordOctaves[o]) {
                        record.octaveLeq[o] = levels[b];
                    }
                }
            }
        }
    }

    const std::string line = csv ? CsvRecord(record) : TextRecord(record);
    const FileResult written = AppendRecord(line);
    if (!written.ok()) {
        ports_.dialogs.MessageBox(settings_.Filename +
                                      "  -   Saving results failed. File may be open elsewhere. "
                                      "Error " +
                                      std::to_string(written.error),
                                  kApplicationTitle);
    }
}

FileResult MeterApp::AppendRecord(const std::string& line) {
    if (!resultsClaimed_) {
        if (writeResultsAlone_) {
            return BeginResultsFileAgain(line);  // not found again at an earlier save
        }
        // The window's file, restored at the start while missing: no record
        // goes into a file another program has begun there since.
        const FileResult claimed =
            ports_.files.Claim(settings_.Filename, /*sole=*/false, /*create=*/false);
        if (!claimed.ok()) {
            return claimed;
        }
        resultsClaimed_ = true;
    }
    const FileResult written = ports_.files.Append(settings_.Filename, line);
    if (written.error == kFileMissingError && writeResultsAlone_) {
        return BeginResultsFileAgain(line);
    }
    return written;
}

FileResult MeterApp::BeginResultsFileAgain(const std::string& line) {
    // Nobody is there to answer a message at every save: the file someone
    // deleted starts again with its header, and the records go on.
    const std::string lost = settings_.Filename;
    ports_.files.Release(lost);
    resultsClaimed_ = false;
    const std::string folder = FolderPart(askedResultsFile_);
    const bool folderLost = !folder.empty() && !ports_.files.Exists(folder);
    if (folderLost) {
        if (const FileResult made = ports_.files.MakeFolder(folder); !made.ok()) {
            return made;
        }
    }
    if (const FileResult found = FindResultsFileForAppend(ports_.clock.Now()); !found.ok()) {
        return found;
    }
    if (settings_.Filename == lost) {
        ports_.dialogs.MessageBox(lost +
                                      (folderLost ? " and its folder were missing: made again"
                                                  : " was missing: created again") +
                                      " with its header.",
                                  kApplicationTitle);
    } else {
        AttachResultsFile(settings_.Filename);
        StoreResultsFileState();
    }
    return ports_.files.Append(settings_.Filename, line);
}

void MeterApp::StoreResultsFileState() {
    settings_.StoresFileState = true;
    const std::string caption = SettingsSubKeyFor(settings_.InstanceNumber) + " Error";
    std::unique_ptr<ISettingsKey> key =
        ports_.settingsStore.OpenOrCreate(SettingsKeyPathFor(settings_.InstanceNumber));
    if (key == nullptr) {
        ports_.dialogs.MessageBox(kCannotCreateKeyMessage, caption);
        return;
    }
    if (!key->Write("File Open", BoolValue(settings_.FileOpen)) ||
        !key->Write("Filename", StringValue(settings_.Filename))) {
        ports_.dialogs.MessageBox(kCannotWriteValueMessage, caption);
    }
}

}  // namespace tarnwick
