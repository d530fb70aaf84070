// The progress that a window's own taskbar button shows. Where the system
// has no taskbar progress (before Windows 7, or a stub of it) every call
// does nothing. UI thread only.
#pragma once

#include <cstdint>

namespace ui {
class Form;
}

namespace platform {

enum class TaskbarState {
    None,            // no progress shown
    Indeterminate,   // moving, how far unknown
    Normal,          // the value set last
    Error,           // the step failed (red)
};

class Taskbar {
public:
    virtual ~Taskbar() = default;
    // `window` is a top-level window of the tool; not owned.
    virtual void setState(ui::Form& window, TaskbarState state) = 0;
    // Shows `done` of `total` (total > 0) in the normal state.
    virtual void setValue(ui::Form& window, std::uint64_t done, std::uint64_t total) = 0;
};

// Transfers of more than this many bytes show on the taskbar button.
inline constexpr std::uint64_t kTaskbarProgressFrom = 1u << 20;

}  // namespace platform
