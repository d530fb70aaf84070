#include "platform/task_file.h"

namespace platform {

// Runs a creation or write without the lock, so a stop meanwhile does not
// wait for it; the file a stop left to it goes when it returns.
template <class Op>
bool TaskFile::unlocked(Op op) {
    {
        std::lock_guard<std::mutex> l(m_);
        if (stopped_) return false;
        busy_ = true;
    }
    const bool ok = op();
    std::lock_guard<std::mutex> l(m_);
    busy_ = false;
    if (stopped_) {
        disk_.discard();
        return false;
    }
    return ok;
}

bool TaskFile::create() {
    return unlocked([&] { return disk_.create(); });
}

bool TaskFile::write(const char* data, std::size_t size) {
    return unlocked([&] { return disk_.write(data, size); });
}

bool TaskFile::keep() {
    std::lock_guard<std::mutex> l(m_);
    return !stopped_ && disk_.keep();
}

void TaskFile::discard() {
    std::lock_guard<std::mutex> l(m_);
    disk_.discard();
}

void TaskFile::stop() {
    std::lock_guard<std::mutex> l(m_);
    if (stopped_) return;
    stopped_ = true;
    if (!busy_) disk_.discard();
}

}  // namespace platform
