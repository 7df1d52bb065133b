#include "app/daily_log.h"

#include <cstdio>

#include "results/numbered_file_name.h"

namespace tarnwick {

std::string DailyLog::PathFor(LocalDateTime at) const {
    const CivilDateTime c = ToCivil(at);
    char name[48];
    std::snprintf(name, sizeof name, "Tarnwick %04d-%02d-%02d.csv", c.year, c.month, c.day);
    return folder_ + "/" + name;
}

std::string DailyLog::FileFor(const std::string& path) {
    if (path == dayPath_) {
        return dayFile_;
    }
    dayPath_ = path;
    dayFile_ = path;
    const std::string header = header_.substr(0, header_.find('\n'));
    for (int n = 2; n <= kLastFileNumber; ++n) {
        const std::string first = files_.FirstRow(dayFile_);
        if (first.empty() || first == header) {
            break;
        }
        // Rows of other columns would make the file unreadable as one table.
        dayFile_ = NumberedFileName(path, n);
    }
    if (dayFile_ != path) {
        notice_ = path + " holds other columns: this run's rows go to " + dayFile_ + ".";
    }
    return dayFile_;
}

std::string DailyLog::TakeNotice() {
    std::string notice;
    notice.swap(notice_);
    return notice;
}

bool DailyLog::AddRow(const ZonedDateTime& at, const std::string& row) {
    const std::string path = FileFor(PathFor(at.Local()));
    const IRowFiles::Written written = files_.Append(path, header_, Iso8601(at) + "," + row);
    if (!written.ok) {
        error_ = written.error;
        return false;
    }
    if (written.created && written_ == path) {
        remade_ = path;
    }
    written_ = path;
    error_.clear();
    return true;
}

std::string DailyLog::TakeRemade() {
    std::string path;
    path.swap(remade_);
    return path;
}

std::optional<int64_t> DailyLog::LastRowSecond(const ZonedDateTime& at) {
    const std::string row = files_.LastRow(FileFor(PathFor(at.Local())));
    return ParseRowSecond(row.substr(0, row.find(',')), at.utcOffsetS);
}

std::optional<int64_t> ParseRowSecond(const std::string& stamp, int32_t utcOffsetS) {
    CivilDateTime c;
    char separator = 0;
    char sign = 0;
    int offsetHours = 0;
    int offsetMinutes = 0;
    int consumed = 0;
    const int fields = std::sscanf(stamp.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n%c%2d:%2d", &c.year,
                                   &c.month, &c.day, &separator, &c.hour, &c.minute, &c.second,
                                   &consumed, &sign, &offsetHours, &offsetMinutes);
    if (fields < 7 || (separator != 'T' && separator != ' ') || c.month < 1 || c.month > 12 ||
        c.day < 1 || c.day > 31 || c.hour > 23 || c.minute > 59 || c.second > 59) {
        return std::nullopt;
    }
    if (fields == 7 && static_cast<size_t>(consumed) == stamp.size()) {
        // An older row, written before stamps carried their offset.
    } else if (fields == 10 && (sign == '+' || sign == '-') && offsetMinutes < 60) {
        utcOffsetS = (sign == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    } else {
        return std::nullopt;
    }
    return ToLocalDateTime(c).ms / kMsPerSecond - utcOffsetS;
}

}  // namespace tarnwick
