// The elevated apply: "--apply-adapter INSTANCE IP MASK GATEWAY DNS1 DNS2",
// what the unelevated window asks an elevated instance of the tool to do.
// The adapter is named by its interface's instance identifier alone: the
// instance finds its device itself (restart.h), and no hardware identifier
// travels on a command line. The instance checks every argument against the machine before it
// writes anything, so this entry point can only ever write an address
// setting of an adapter that exists and restart that adapter.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adapter/confirm.h"
#include "adapter/restart.h"
#include "platform/elevation.h"
#include "platform/registry.h"

namespace adapter {

inline constexpr std::string_view kApplyVerb = "--apply-adapter";
// Followed by the window the instance reports its steps to.
inline constexpr std::string_view kProgressOption = platform::kProgressWindowOption;

// Exit codes of the elevated instance.
inline constexpr int kExitApplied = 0;        // written and restarted
inline constexpr int kExitNotWritten = 1;     // nothing written, a write failed, or arguments refused
inline constexpr int kExitRestartFailed = 2;  // written, but the restart failed

struct ApplyRequest {
    std::string instance;                // 网卡实例表[k]
    std::array<std::string, 5> fields;   // IP, mask, gateway, preferred and alternate DNS
};

// The arguments after the program's name: the verb, the six values (an
// empty field as an empty argument), then the progress option when a
// window is given, then the confirm options when seconds are given (the
// answer option only when a name is given too).
std::vector<std::string> verbArguments(const ApplyRequest& request, std::string_view progressWindow = {},
                                       std::optional<int> confirmSeconds = {}, std::string_view answer = {});

// Empty, or four decimal numbers 0-255 joined by dots, and nothing else. A
// number has one to three digits and no leading zero ("0" itself is one),
// so that nothing downstream can read a part as octal.
bool isFieldText(std::string_view text);

struct VerbCall {
    ApplyRequest request;
    std::string progressWindow;          // "" when not given
    std::string driverKey;               // the entry the walk found the adapter in (see settings.h)
    std::optional<int> confirmSeconds = {};   // --confirm-within: the apply is undone unless kept in time
    std::string answer = {};                  // --answer NAME: the events the answer comes through; "" when none
};

// The arguments after the program's name, when they are the verb with six
// values, then options as parseVerbOptions (confirm.h) takes them, INSTANCE
// is the instance identifier of an adapter the walk finds and every field
// passes isFieldText.
// nullopt otherwise. The adapter's driver key comes from the same walk.
std::optional<VerbCall> parseVerb(const std::vector<std::string>& arguments, platform::Registry& registry);

// A step as it is reported, with the restart's exit code (kExitApplied or
// kExitRestartFailed) for Step::Confirming, 0 for the others: the question
// tells the user how the restart went.
using StepReport = std::function<void(Step step, int restartCode)>;

// The keep-or-undo part of an apply: what was there before the write, the
// seconds the user has, and where the answer comes from.
struct ConfirmPlan {
    const InterfaceSnapshot& snapshot;
    int seconds;
    AnswerWait& answers;
};

// What the holder of the rights does, the elevated instance or the
// in-process apply's worker: writes the fields, restarts the adapter, and
// with a plan waits for the answer and undoes unless kept (confirmOrUndo).
// Blocks; reports each step. Returns the exit code.
int applyWithRights(platform::Registry& registry, const ApplyRequest& request, const RestartTarget& target,
                    const RestartServices& restart, const StepReport& report, const ConfirmPlan* plan);

// The elevated instance's work once parsed. With --confirm-within it first
// takes the snapshot of the interface key, and refuses (kExitNotWritten,
// nothing written) when it cannot, or when no `answers` are given to wait
// on; then applyWithRights. Returns the exit code.
int runVerb(const VerbCall& call, platform::Registry& registry, const RestartServices& restart,
            const StepReport& report, AnswerWait* answers = nullptr);

}  // namespace adapter
