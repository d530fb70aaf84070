#include "platform/task_file.h"

namespace platform {

bool TaskFile::create() {
    std::lock_guard<std::mutex> l(m_);
    return !stopped_ && disk_.create();
}

bool TaskFile::write(const char* data, std::size_t size) {
    {
        std::lock_guard<std::mutex> l(m_);
        if (stopped_) return false;
        writing_ = true;
    }
    const bool ok = disk_.write(data, size);
    std::lock_guard<std::mutex> l(m_);
    writing_ = false;
    if (stopped_) {
        // Stopped meanwhile: the file was left to us.
        disk_.discard();
        return false;
    }
    return ok;
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
    if (!writing_) disk_.discard();
}

}  // namespace platform
