// Signals that ask the program to end arrive as calls on the event loop.

#include "platform/termination_signals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/audio/audio_test_support.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

TEST(TerminationSignals, EachSignalBecomesOneCallOnTheEventLoop) {
    int requests = 0;
    {
        TerminationSignals caught([&] { ++requests; });
        ASSERT_TRUE(caught.Active());
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            const int before = requests;
            ASSERT_EQ(raise(signal), 0);  // the process survives it
            EXPECT_EQ(requests, before) << "called from the signal handler";
            EXPECT_TRUE(RunEventLoopUntil([&] { return requests == before + 1; }, 2s)) << signal;
        }
        // Several before the loop runs: one request.
        raise(SIGTERM);
        raise(SIGTERM);
        RunEventLoopFor(100ms);
        EXPECT_EQ(requests, 4);

        // Only one set of handlers at a time.
        TerminationSignals second([] {});
        EXPECT_FALSE(second.Active());
    }
    // Gone with the object: the default action is back.
    struct sigaction action {};
    sigaction(SIGTERM, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace tarnwick::test
