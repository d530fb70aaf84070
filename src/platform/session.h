// The session the tool runs in: whether it is remote, and the answer
// events through which the window answers an elevated instance of this
// session.
#pragma once

#include <memory>
#include <string>

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
