// The elevated apply: "--apply-adapter INSTANCE DEVICE IP MASK GATEWAY DNS1
// DNS2", what the unelevated window asks an elevated instance of the tool
// to do. The instance checks every argument against the machine before it
// writes anything, so this entry point can only ever write an address
// setting of an adapter that exists and restart that adapter.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    std::string device;                  // 设备标识表[k]
    std::array<std::string, 5> fields;   // IP, mask, gateway, preferred and alternate DNS
};

// The arguments after the program's name: the verb, the seven values (an
// empty field as an empty argument), then the progress option when a
// window is given.
std::vector<std::string> verbArguments(const ApplyRequest& request, std::string_view progressWindow = {});

// Empty, or four decimal numbers 0-255 joined by dots, and nothing else. A
// number has one to three digits and no leading zero ("0" itself is one),
// so that nothing downstream can read a part as octal.
bool isFieldText(std::string_view text);

struct VerbCall {
    ApplyRequest request;
    std::string progressWindow;   // "" when not given
    std::string driverKey;        // the entry the walk found the adapter in (see settings.h)
};

// The arguments after the program's name, when they are the verb with seven
// values, then options (each at most once, in any order: so far only the
// progress option with a decimal number), INSTANCE is the instance
// identifier of an adapter the walk finds, DEVICE that adapter's matching
// device identifier and every field passes isFieldText. nullopt otherwise.
// The adapter's driver key comes from the same walk.
std::optional<VerbCall> parseVerb(const std::vector<std::string>& arguments, platform::Registry& registry);

// The elevated instance's work once parsed: writes the fields, then
// restarts the adapter, reporting each step. Returns the exit code.
int runVerb(const VerbCall& call, platform::Registry& registry, const RestartServices& restart,
            const std::function<void(Step)>& report);

}  // namespace adapter
