#pragma once
// The command-line grammar of Tarnwick's programs: "--name" flags, "--name
// VALUE" or "--name=VALUE" options, "--" before names that start with dashes,
// and positional arguments. Each option checks its own value and says what is
// wrong in one line.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

class CommandLine {
public:
    // A value's check and use: nullopt when taken, else the message.
    using Valued = std::function<std::optional<std::string>(const std::string&)>;

    void Flag(const std::string& name, std::function<void()> action);
    void Option(const std::string& name, Valued take);

    // Checkers that store into `target`.
    static Valued Number(double& target, const std::string& name, double low, double high);
    static Valued Integer(int32_t& target, const std::string& name, int32_t low, int32_t high);
    static Valued Text(std::string& target);

    // Parses `args`; nullopt when all were taken, else the message. "--help"
    // and "-h" set `help` and stop.
    std::optional<std::string> Parse(const std::vector<std::string>& args);

    bool help = false;
    std::vector<std::string> positional;
    // Options that were given, by name.
    bool Given(const std::string& name) const { return given_.count(name) != 0; }

private:
    std::map<std::string, std::function<void()>> flags_;
    std::map<std::string, Valued> options_;
    std::map<std::string, bool> given_;
};

// Numbers as the command line writes them: a decimal point, nothing else.
std::optional<double> ParseDouble(const std::string& text);
std::optional<int32_t> ParseInt(const std::string& text);

}  // namespace tarnwick
