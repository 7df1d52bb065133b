#include "core/mic_response.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr double kLargestStepDb = 20.0;

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

// The numbers that lead `line`; false when there are not two.
bool LeadingNumbers(const std::string& line, std::vector<double>& numbers) {
    numbers.clear();
    const char* at = line.data();
    const char* const end = line.data() + line.size();
    while (true) {
        while (at < end && IsSeparator(*at)) {
            ++at;
        }
        if (at == end) {
            return numbers.size() >= 2;
        }
        double value = 0.0;
        const char* from = *at == '+' ? at + 1 : at;
        const std::from_chars_result read = std::from_chars(from, end, value);
        if (read.ec != std::errc() || (read.ptr < end && !IsSeparator(*read.ptr)) ||
            !std::isfinite(value)) {
            return numbers.size() >= 2;
        }
        numbers.push_back(value);
        at = read.ptr;
    }
}

// "Sens Factor =-1.378dB": the factor, when the line gives one.
std::optional<double> SensFactor(const std::string& line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t name = lower.find("sens factor");
    if (name == std::string::npos) {
        return std::nullopt;
    }
    size_t at = lower.find_first_not_of(" \t", name + 11);
    if (at == std::string::npos || lower[at] != '=') {
        return std::nullopt;
    }
    at = lower.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    if (lower[at] == '+') {
        ++at;
    }
    double value = 0.0;
    const std::from_chars_result read =
        std::from_chars(lower.data() + at, lower.data() + lower.size(), value);
    if (read.ec != std::errc() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string Where(size_t line) {
    return "line " + std::to_string(line) + ": ";
}

}  // namespace

uint32_t Crc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> kTable = [] {
        std::array<uint32_t, 256> table{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[n] = c;
        }
        return table;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc = kTable[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string MicResponse::Checksum() const {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc32);
    return text;
}

double MicResponse::DeviationDb(double hz) const {
    if (points.empty()) {
        return 0.0;
    }
    if (!(hz > points.front().hz)) {
        return points.front().db;
    }
    if (hz >= points.back().hz) {
        return points.back().db;
    }
    const auto above =
        std::upper_bound(points.begin(), points.end(), hz,
                         [](double f, const MicResponsePoint& p) { return f < p.hz; });
    const MicResponsePoint& hi = *above;
    const MicResponsePoint& lo = *(above - 1);
    const double t = std::log(hz / lo.hz) / std::log(hi.hz / lo.hz);
    return lo.db + t * (hi.db - lo.db);
}

std::optional<MicResponse> ParseMicResponse(const std::string& text, std::string& error) {
    MicResponse response;
    response.crc32 = Crc32(text);
    std::vector<double> numbers;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) {
            continue;
        }
        if (response.points.empty() && !response.sensFactorDb) {
            response.sensFactorDb = SensFactor(line);
            if (response.sensFactorDb) {
                continue;
            }
        }
        const char lead = line[first];
        if (lead == '*' || lead == '#' || lead == '"') {
            continue;
        }
        if (!LeadingNumbers(line, numbers)) {
            error = Where(lineNumber) + "not a frequency in Hz and a correction in dB";
            return std::nullopt;
        }
        const MicResponsePoint point{numbers[0], numbers[1]};
        if (!(point.hz > 0.0)) {
            error = Where(lineNumber) + "the frequency is not above 0 Hz";
            return std::nullopt;
        }
        if (!response.points.empty()) {
            if (point.hz <= response.points.back().hz) {
                error = Where(lineNumber) + "the frequencies do not rise";
                return std::nullopt;
            }
            if (std::fabs(point.db - response.points.back().db) > kLargestStepDb) {
                error = Where(lineNumber) + "the correction jumps by more than 20 dB";
                return std::nullopt;
            }
        }
        response.points.push_back(point);
    }
    if (response.points.size() < 2) {
        error = "no two lines of a frequency in Hz and a correction in dB";
        return std::nullopt;
    }
    return response;
}

}  // namespace tarnwick
