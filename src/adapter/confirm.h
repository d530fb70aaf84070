// The remote-safe apply: an address change made over a remote session is
// undone unless the user confirms it in time. Here are the pieces that do
// not depend on a window: the snapshot of the interface values before the
// write and its byte-for-byte write-back, the question "does this apply
// change the address", the options of the elevated verb that ask for it,
// and the instance's wait for the answer with its undo.
#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "adapter/restart.h"
#include "platform/registry.h"
#include "platform/session.h"

namespace adapter {

// ---------------------------------------------------------------------------
// What the apply overwrites, as it was.

// The values 写入网卡设置 writes, in its order.
inline constexpr std::array<std::string_view, 4> kAppliedValues = {"IPAddress", "SubnetMask", "DefaultGateway",
                                                                   "NameServer"};

struct SavedValue {
    std::optional<platform::RawValue> raw;        // as stored; nullopt: the value did not exist
    std::optional<platform::RegistryValue> read;  // the same value as the registry interface reads it
};

struct InterfaceSnapshot {
    std::string instance;                  // names the interface key
    std::array<SavedValue, 4> values;      // in the order of kAppliedValues
};

// Reads the four values of the adapter's interface key exactly as stored.
// nullopt when the key cannot be opened, or a value exists but cannot be
// read: what cannot be put back must not be overwritten on the promise of
// an undo.
std::optional<InterfaceSnapshot> takeSnapshot(platform::Registry& registry, std::string_view instanceId);

// Puts the four values back byte for byte; a value that did not exist is
// deleted. Tries all four even when one fails; true when all four are as
// they were.
bool restoreSnapshot(platform::Registry& registry, const InterfaceSnapshot& snapshot);

// Whether writing these address, mask and gateway texts (as 写入网卡设置
// encodes them) changes what the snapshot holds: a value that was missing,
// of another type or with other bytes counts as changed. DNS does not count.
bool changesAddress(const InterfaceSnapshot& snapshot, std::string_view ip, std::string_view mask,
                    std::string_view gateway);

// ---------------------------------------------------------------------------
// The verb's options after its six values.

inline constexpr std::string_view kConfirmOption = "--confirm-within";
inline constexpr std::string_view kAnswerOption = "--answer";
inline constexpr int kConfirmSecondsMin = 1;
inline constexpr int kConfirmSecondsMax = 600;
// The time the question gives the user.
inline constexpr int kConfirmSeconds = 120;
// What the instance waits beyond the question's time, for an answer that is
// already on its way.
inline constexpr unsigned kAnswerGraceMs = 3000;

struct VerbOptions {
    std::string progressWindow;           // "" when not given; else 1-20 decimal digits
    std::optional<int> confirmSeconds;    // --confirm-within
    std::string answer;                   // --answer NAME, "" when not given
};

// 1-64 characters, each a letter, a digit, '-' or '_' (ASCII).
using platform::isAnswerName;

// "--progress-window N", "--confirm-within SECONDS" and "--answer NAME", in
// any order, each at most once; SECONDS decimal digits only with a value of
// 1-600; --answer only together with --confirm-within. nullopt for anything
// else (an unknown word, a missing or bad value, a repeat).
std::optional<VerbOptions> parseVerbOptions(std::span<const std::string> options);

// ---------------------------------------------------------------------------
// The instance's side: wait for the answer, then keep or undo.

// Exit codes beyond those of apply_verb.h.
inline constexpr int kExitUndone = 3;       // the old values are back and the adapter restarted
inline constexpr int kExitUndoFailed = 4;   // the write-back or the restart after it failed

// The progress text of a step as the panel shows it ("" for the wait, when
// the question window speaks): the undo's restart shows the same texts as
// the apply's.
std::string_view stepText(Step step);

// The final text of `状态_标签` for an instance's exit code: 0, 2, 3 and 4 as
// the remote-safe apply defines them; anything else is the failed apply.
std::string_view finalText(int exitCode);

// The answer as the holder of the rights waits for it (platform/session.h).
using Answer = platform::Reply;
using AnswerWait = platform::AnswerWait;

// The in-process apply's answer: the window's thread sets it, the worker
// waits for it without any message loop. The first answer stands.
class SharedAnswer final : public AnswerWait {
public:
    void set(Answer answer);
    Answer wait(unsigned timeoutMs) override;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Answer> answer_;
};

// Restarts the adapter, reporting its steps (restartAdapter bound to the
// device); true when it succeeded.
using RestartFn = std::function<bool(const std::function<void(Step)>& report)>;

// After the write and the restart that ended with `restartCode` (kExitApplied
// or kExitRestartFailed): reports Step::Confirming and waits seconds * 1000 +
// kAnswerGraceMs for the answer. Keep: returns restartCode. Undo or no
// answer in time: writes the snapshot back, restarts again (reporting
// Step::UndoDisabling and Step::UndoEnabling) and returns kExitUndone, or
// kExitUndoFailed when the write-back or the restart failed (the restart
// runs even after a failed write-back, so what was put back takes effect).
// Any other restartCode is returned at once: nothing to confirm.
int confirmOrUndo(const InterfaceSnapshot& snapshot, int restartCode, int seconds, AnswerWait& answers,
                  platform::Registry& registry, const RestartFn& restart, const std::function<void(Step)>& report);

}  // namespace adapter
