// Message boxes and the other small system dialogs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class Icon { None, Information, Question, Warning, Error };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// The button pressed: 0 OK, 1 Cancel, 2 Abort, 3 Retry, 4 Ignore, 5 Yes, 6 No.
enum class Answer : int { Ok = 0, Cancel = 1, Abort = 2, Retry = 3, Ignore = 4, Yes = 5, No = 6 };

struct MessageBoxSpec {
    std::string_view text;
    std::string_view title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    int defaultButton = 0;   // 0 = first button, 1 = second, ...
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Task-modal, no owner window. Returns the button pressed.
    virtual Answer messageBox(const MessageBoxSpec& spec) = 0;
    // A small modal box with a prompt, one input line (starting with
    // `initial`), OK and Cancel. The text typed, or nullopt when cancelled.
    virtual std::optional<std::string> inputBox(std::string_view title, std::string_view prompt,
                                                std::string_view initial) {
        return std::nullopt;
    }
};

}  // namespace platform
