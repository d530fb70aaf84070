// The Win32 side of the remote-safe apply: whether the session is remote,
// the two answer events shared by the window and the instance that holds
// the rights, the wait on them, and the question window's place over the
// main window. Brings in <windows.h>: only src/platform/win32, src/app and
// the Windows tests include it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/session.h"
#include "platform/win32/platform_win32.h"
#include "ui/form.h"

namespace win32 {

// GetSystemMetrics(SM_REMOTESESSION); also remote when the console's session
// (Terminal Server's GlassSessionId, where the system records it) is not
// this process's session, as with a RemoteFX session where the metric says 0.
// answerEvents: AnswerEvents::create, below.
class Win32Session final : public platform::Session {
public:
    bool remote() override;
    std::unique_ptr<platform::AnswerSignal> answerEvents() override;
};

// The two manual-reset events "Local\NAME.keep" and "Local\NAME.undo" (NAME
// as platform::isAnswerName). Their DACL grants SYNCHRONIZE and
// EVENT_MODIFY_STATE to the creating user and to the Administrators group
// and nothing to anyone else, so an instance elevated with another
// administrator's credentials can open them too. Move-only; the handles
// close with the object (the events go when the last handle closes).
class AnswerEvents {
public:
    // The window's side: a fresh pair under a random name. nullopt when no
    // fresh pair could be made (a few names are tried).
    static std::optional<AnswerEvents> create();
    // A fresh pair under `name`; nullopt when the name is not an answer
    // name, either event already exists (whoever made it), or creation
    // fails.
    static std::optional<AnswerEvents> createNamed(std::string_view name);
    // The instance's side: the existing pair of `name`; nullopt when the
    // name is not an answer name or either event does not open.
    static std::optional<AnswerEvents> open(std::string_view name);

    const std::string& name() const { return name_; }
    // Sets the event; the answer stands (manual reset).
    bool keep() const { return SetEvent(keep_.get()) != FALSE; }
    bool undo() const { return SetEvent(undo_.get()) != FALSE; }
    HANDLE keepEvent() const { return keep_.get(); }
    HANDLE undoEvent() const { return undo_.get(); }

private:
    std::string name_;
    UniqueHandle keep_, undo_;
};

// Waits on the events of `events` (kept by the caller for the wait's
// length), or, with none, only for the time. When both are set, undo wins.
// A failed wait counts as undo. Any thread.
class Win32AnswerWait final : public platform::AnswerWait {
public:
    explicit Win32AnswerWait(const AnswerEvents* events = nullptr) : events_(events) {}
    platform::Reply wait(unsigned timeoutMs) override;

private:
    const AnswerEvents* events_;
};

// For a question window: makes it owned by `owner` (so it stays above it),
// without a minimise box, centred over the owner inside the work area of
// the owner's monitor; its default button is the one its layout declares.
// UI thread.
std::function<void(ui::Form&)> placeOver(HWND owner);
// The same over a window of the tool (a Win32Form).
void placeOverForm(ui::Form& question, ui::Form& owner);

}  // namespace win32
