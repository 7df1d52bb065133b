// tarnwick-analyse: measures a recording as the meter would.

#include <QDateTime>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/analyse/analyser_options.h"
#include "tools/analyse/analyser_run.h"

namespace {

tarnwick::LocalDateTime LocalNow() {
    const QDateTime now = QDateTime::currentDateTime();
    tarnwick::CivilDateTime c;
    c.year = now.date().year();
    c.month = now.date().month();
    c.day = now.date().day();
    c.hour = now.time().hour();
    c.minute = now.time().minute();
    c.second = now.time().second();
    c.millisecond = now.time().msec();
    return tarnwick::ToLocalDateTime(c);
}

}  // namespace

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
    return tarnwick::RunAnalyser(std::get<tarnwick::AnalyserOptions>(parsed), LocalNow(), stdout,
                                 stderr);
}
