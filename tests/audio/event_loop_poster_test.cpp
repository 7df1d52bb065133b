#include "platform/event_loop_poster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "tests/audio/audio_test_support.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

TEST(EventLoopPoster, RunsLaterOnTheLoopInPostingOrder) {
    EventLoopPoster poster;
    std::vector<int> ran;
    for (int i = 0; i < 1000; ++i) {
        poster.Post([&ran, i] { ran.push_back(i); });
    }
    // Posting never runs the function in the caller's stack.
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(RunEventLoopUntil([&] { return ran.size() == 1000; }, 5s));
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(ran[i], i);
    }
}

TEST(EventLoopPoster, FunctionsFromOtherThreadsRunOnTheLoopThreadInEachThreadsOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    EventLoopPoster poster;
    const std::thread::id loopThread = std::this_thread::get_id();
    std::vector<std::vector<int>> ran(kThreads);
    int total = 0;
    bool offLoop = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                poster.Post([&, t, i] {
                    offLoop = offLoop || std::this_thread::get_id() != loopThread;
                    ran[t].push_back(i);
                    ++total;
                });
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    ASSERT_TRUE(RunEventLoopUntil([&] { return total == kThreads * kEach; }, 10s)) << total;
    EXPECT_FALSE(offLoop);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            ASSERT_EQ(ran[t][i], i) << "thread " << t;
        }
    }
}

TEST(EventLoopPoster, DestroyedPosterDropsQueuedFunctionsAndReleasesTheirCaptures) {
    auto payload = std::make_shared<int>(42);
    std::weak_ptr<int> watch = payload;
    bool ran = false;
    {
        EventLoopPoster poster;
        poster.Post([&ran, p = std::move(payload)] { ran = *p == 42; });
    }
    RunEventLoopFor(50ms);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired());
}

TEST(EventLoopPoster, FunctionMayDestroyItsPosterAndLaterOnesAreDropped) {
    // An adapter's owner may tear the adapter down in the handler of a block.
    std::optional<EventLoopPoster> poster(std::in_place);
    int ran = 0;
    poster->Post([&] {
        ++ran;
        poster.reset();
    });
    poster->Post([&] { ++ran; });
    RunEventLoopFor(50ms);
    EXPECT_EQ(ran, 1);
}

TEST(EventLoopPoster, PostersDoNotDropEachOthersFunctions) {
    EventLoopPoster kept;
    int ran = 0;
    {
        EventLoopPoster dropped;
        dropped.Post([&] { ran += 100; });
        kept.Post([&] { ran += 1; });
    }
    RunEventLoopFor(50ms);
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tarnwick::test
