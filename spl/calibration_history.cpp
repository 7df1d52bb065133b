#include "spl/calibration_history.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr std::string_view kHeader = "date,input,reference_db,sensitivity_db,method,response";
constexpr std::string_view kCalibrator = "calibrator";
constexpr std::string_view kManual = "manual";
constexpr size_t kFields = 5;
constexpr int kReferenceDecimals = 1;
constexpr int kSensitivityDecimals = 2;

std::string Fixed(double value, int decimals) {
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    return std::string(digits, end.ptr);
}

std::string Quoted(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(field);
    }
    std::string out = "\"";
    for (char c : field) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

bool ParseInt(std::string_view text, int& value) {
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc{} && r.ptr == text.data() + text.size();
}

std::optional<LocalDateTime> ParseDate(std::string_view text) {
    // YYYY-MM-DD HH:MM:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    CivilDateTime c;
    if (!ParseInt(text.substr(0, 4), c.year) || !ParseInt(text.substr(5, 2), c.month) ||
        !ParseInt(text.substr(8, 2), c.day) || !ParseInt(text.substr(11, 2), c.hour) ||
        !ParseInt(text.substr(14, 2), c.minute) || !ParseInt(text.substr(17, 2), c.second)) {
        return std::nullopt;
    }
    if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31 || c.hour > 23 || c.minute > 59 ||
        c.second > 59) {
        return std::nullopt;
    }
    return ToLocalDateTime(c);
}

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc{} || r.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<CalibrationRecord> RecordOf(const std::vector<std::string>& fields) {
    if (fields.size() != kFields && fields.size() != kFields + 1) {
        return std::nullopt;
    }
    CalibrationRecord r;
    const std::optional<LocalDateTime> when = ParseDate(fields[0]);
    const std::optional<double> sensitivity = ParseNumber(fields[3]);
    if (!when || fields[1].empty() || !sensitivity) {
        return std::nullopt;
    }
    r.when = *when;
    r.input = fields[1];
    r.sensitivityDb = *sensitivity;
    if (fields.size() > kFields) {
        r.response = fields[kFields];
    }
    if (fields[4] == kCalibrator) {
        r.method = CalibrationMethod::kCalibrator;
        r.referenceDb = ParseNumber(fields[2]);
        if (!r.referenceDb) {
            return std::nullopt;
        }
    } else if (fields[4] == kManual && fields[2].empty()) {
        r.method = CalibrationMethod::kManual;
    } else {
        return std::nullopt;
    }
    return r;
}

}  // namespace

std::string CalibrationHistoryHeader() {
    return std::string(kHeader) + "\n";
}

std::string FormatCalibrationRow(const CalibrationRecord& record) {
    std::string row = StampText(record.when) + "," + Quoted(record.input) + ",";
    if (record.referenceDb) {
        row += Fixed(*record.referenceDb, kReferenceDecimals);
    }
    row += "," + Fixed(record.sensitivityDb, kSensitivityDecimals) + ",";
    row += record.method == CalibrationMethod::kCalibrator ? kCalibrator : kManual;
    if (!record.response.empty()) {
        row += "," + Quoted(record.response);
    }
    return row + "\n";
}

CalibrationHistory ParseCalibrationHistory(std::string_view text) {
    CalibrationHistory history;
    std::vector<std::string> fields(1);
    bool quoted = false;
    bool wasQuoted = false;  // the field's closing quote has passed
    bool malformed = false;
    size_t line = 1;
    size_t rowLine = 1;
    const auto endRow = [&] {
        const bool empty = fields.size() == 1 && fields[0].empty() && !wasQuoted;
        if (!empty) {
            std::optional<CalibrationRecord> record;
            if (!malformed) {
                record = RecordOf(fields);
            }
            const bool header = fields.size() >= kFields && fields[0] == "date" &&
                                fields[1] == "input" && history.records.empty() &&
                                history.badLines.empty();
            if (record) {
                history.records.push_back(std::move(*record));
            } else if (!header) {
                history.badLines.push_back(rowLine);
            }
        }
        fields.assign(1, std::string());
        wasQuoted = false;
        malformed = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                wasQuoted = true;
            } else {
                if (c == '\n') {
                    ++line;
                }
                fields.back() += c;
            }
        } else if (c == '"') {
            // A quote opens a field only at its start.
            malformed = malformed || !fields.back().empty() || wasQuoted;
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
            wasQuoted = false;
        } else if (c == '\n') {
            endRow();
            rowLine = ++line;
        } else if (c != '\r') {
            malformed = malformed || wasQuoted;
            fields.back() += c;
        }
    }
    malformed = malformed || quoted;  // an unclosed quote
    endRow();
    return history;
}

std::optional<CalibrationRecord> LastCalibrationOf(const CalibrationHistory& history,
                                                   std::string_view input) {
    for (auto r = history.records.rbegin(); r != history.records.rend(); ++r) {
        if (r->input == input) {
            return *r;
        }
    }
    return std::nullopt;
}

}  // namespace tarnwick
