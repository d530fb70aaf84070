// Work off the user-interface thread, and its results back onto it.
#pragma once

#include <functional>

namespace platform {

class Tasks {
public:
    // Queues a closure to run on the user-interface thread; callable from
    // any thread. Closures run in the order they were posted; those still
    // queued when the service goes are dropped unrun.
    using Post = std::function<void(std::function<void()>)>;

    virtual ~Tasks() = default;
    // Runs `job` on a thread of its own; it reports through `post`. False
    // when no thread could be started (the job did not run). The service
    // waits for its jobs before it goes. Call on the user-interface thread.
    virtual bool start(std::function<void(const Post& post)> job) = 0;
    // Runs `then` once on the user-interface thread about `ms` after this
    // call (unless the service has gone by then).
    virtual void after(unsigned ms, std::function<void()> then) = 0;
};

}  // namespace platform
