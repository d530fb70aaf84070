// The session the tool runs in: whether it is remote, and the answer
// events through which the window answers an elevated instance of this
// session.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The window's side of a pair of named answer events (keep, undo) that an
// elevated instance opens by name and waits on. The events go with the
// last handle to them. UI thread.
class AnswerSignal {
public:
    virtual ~AnswerSignal() = default;
    // What the instance is given to open them by.
    virtual const std::string& name() const = 0;
    // Sets the event; the answer stands.
    virtual void keep() = 0;
    virtual void undo() = 0;
};

// A name answer events go by: 1-64 characters, each a letter, a digit, '-'
// or '_' (ASCII), so that it makes a plain kernel object name and a plain
// command-line argument.
inline bool isAnswerName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_';
        if (!ok) return false;
    }
    return true;
}

// How a wait for the user's answer ends.
enum class Reply { Keep, Undo, TimedOut };

// The other side: waits for the answer. Called from the thread that holds
// the rights (an elevated instance, or a worker of the window's process);
// needs no window's message loop.
class AnswerWait {
public:
    virtual ~AnswerWait() = default;
    // Keep or Undo when answered within timeoutMs, else TimedOut.
    virtual Reply wait(unsigned timeoutMs) = 0;
};

class Session {
public:
    virtual ~Session() = default;
    // True when the tool's desktop is shown over a remote connection (a
    // Remote Desktop session), where a change of the machine's address can
    // cut the user off.
    virtual bool remote() = 0;
    // A fresh pair of answer events under a random name, which no other
    // process made first; null when none could be made.
    virtual std::unique_ptr<AnswerSignal> answerEvents() = 0;
};

}  // namespace platform
