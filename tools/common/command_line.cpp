#include "tools/common/command_line.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnwick {
namespace {

std::string Range(const std::string& option, double low, double high) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%s expects a number from %g to %g", option.c_str(), low,
                  high);
    return buffer;
}

}  // namespace

std::optional<double> ParseDouble(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseInt(const std::string& text) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

void CommandLine::Flag(const std::string& name, std::function<void()> action) {
    flags_[name] = std::move(action);
}

void CommandLine::Option(const std::string& name, Valued take) {
    options_[name] = std::move(take);
}

CommandLine::Valued CommandLine::Number(double& target, const std::string& name, double low,
                                        double high) {
    return [&target, name, low, high](const std::string& v) -> std::optional<std::string> {
        const auto d = ParseDouble(v);
        if (!d || *d < low || *d > high) {
            return Range(name, low, high);
        }
        target = *d;
        return std::nullopt;
    };
}

CommandLine::Valued CommandLine::Integer(int32_t& target, const std::string& name, int32_t low,
                                         int32_t high) {
    return [&target, name, low, high](const std::string& v) -> std::optional<std::string> {
        const auto i = ParseInt(v);
        if (!i || *i < low || *i > high) {
            return Range(name, low, high);
        }
        target = *i;
        return std::nullopt;
    };
}

CommandLine::Valued CommandLine::Text(std::string& target) {
    return [&target](const std::string& v) -> std::optional<std::string> {
        target = v;
        return std::nullopt;
    };
}

std::optional<std::string> CommandLine::Parse(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return std::nullopt;
        }
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg == "--") {
                positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                                  args.end());
                break;
            }
            positional.push_back(arg);
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (auto f = flags_.find(arg); f != flags_.end()) {
            if (inlineValue) {
                return arg + " takes no value";
            }
            f->second();
            given_[arg] = true;
            continue;
        }
        auto v = options_.find(arg);
        if (v == options_.end()) {
            return "unknown option " + arg + " (see --help)";
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                return arg + " needs a value";
            }
            inlineValue = args[++i];
        }
        if (auto error = v->second(*inlineValue)) {
            return error;
        }
        given_[arg] = true;
    }
    return std::nullopt;
}

}  // namespace tarnwick
