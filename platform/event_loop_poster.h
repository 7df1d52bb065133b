#pragma once
// Runs functions on the event-loop thread, one queued event each, in the order
// they were posted. The audio adapters fill blocks on their own threads and hand
// each filled block to the loop through a poster; nothing else crosses threads.
//
// Create and destroy a poster on the event-loop thread, while the
// QCoreApplication exists. Post() may be called from any thread until the
// poster's destructor has begun; the owner must stop its posting threads before
// that. Functions still queued when the poster is destroyed are dropped without
// running (their captures are released), so an adapter that is gone never sees
// a late event.

#include <atomic>
#include <functional>
#include <memory>

namespace tarnwick {

class EventLoopPoster {
public:
    EventLoopPoster();
    ~EventLoopPoster();
    EventLoopPoster(const EventLoopPoster&) = delete;
    EventLoopPoster& operator=(const EventLoopPoster&) = delete;

    // Queues `fn` to run on the event-loop thread once the loop reaches it.
    void Post(std::function<void()> fn) const;

private:
    std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace tarnwick
