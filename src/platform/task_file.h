// Who may touch a download task's temporary file, and when. The task's
// worker creates, writes, renames and removes it; a stop may come from the
// user-interface thread at any moment and must never wait for a disk
// write (a write to a slow or stalled disk, a desktop folder on a share,
// would freeze the window). So the stop removes the file at once when no
// creation or write runs, and otherwise leaves it to the worker, which
// removes it as soon as that returns; after the stop nothing is created
// or renamed any more. Shared by the download component; the file
// operations are the platform's.
#pragma once

#include <cstddef>
#include <mutex>

namespace platform {

class TaskFile {
public:
    // The operations on the task's own file; each is called with no other
    // of them running.
    class Disk {
    public:
        virtual ~Disk() = default;
        virtual bool create() = 0;                                 // made new, held open
        virtual bool write(const char* data, std::size_t size) = 0;
        virtual bool keep() = 0;                                   // renamed to its final name, closed
        virtual void discard() = 0;                                // removed, closed; nothing when not open
    };

    explicit TaskFile(Disk& disk) : disk_(disk) {}
    TaskFile(const TaskFile&) = delete;
    TaskFile& operator=(const TaskFile&) = delete;

    // The worker's calls. Each is false once the task is stopped; a
    // creation or write that was running when it stopped removes the file
    // before it returns.
    bool create();
    bool write(const char* data, std::size_t size);
    bool keep();
    void discard();

    // Any thread, any number of times: the task is stopped. Waits for no
    // creation or write; may wait for a rename or removal under way.
    void stop();

private:
    template <class Op>
    bool unlocked(Op op);

    Disk& disk_;
    std::mutex m_;   // never held across a creation or write
    bool stopped_ = false;
    bool busy_ = false;   // a creation or write runs
};

}  // namespace platform
