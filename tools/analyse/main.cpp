// tarnwick-analyse: measures a recording as the meter would.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/steady_time.h"
#include "tools/analyse/analyser_options.h"
#include "tools/analyse/analyser_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tarnwick::ParsedOptions parsed = tarnwick::ParseAnalyserOptions(args);
    if (std::holds_alternative<tarnwick::AnalyserHelp>(parsed)) {
        std::fputs(tarnwick::AnalyserUsage().c_str(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "tarnwick-analyse: %s\n", error->c_str());
        return tarnwick::kAnalyseBadInput;
    }
    return tarnwick::RunAnalyser(std::get<tarnwick::AnalyserOptions>(parsed),
                                 tarnwick::SteadyClock().Now(), stdout, stderr);
}
