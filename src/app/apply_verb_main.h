// The elevated instance's entry point (see apply_verb_main.cpp).
#pragma once

#include <optional>

namespace app {

// The apply for a command line that asks for it ("--apply-adapter ..."), its
// exit code; nullopt when the command line does not ask for it (a plain
// start of the tool).
std::optional<int> runApplyVerb(const wchar_t* commandLine);

}  // namespace app
