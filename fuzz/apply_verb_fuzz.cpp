// The elevated verb's arguments as an unelevated caller may pass them: the
// input's bytes split at NUL into arguments (empty ones too), checked
// against an in-memory machine with two adapters. What is accepted obeys
// every documented rule, reads back the same when passed again, and nothing
// is ever written.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "adapter/apply_verb.h"
#include "adapter/settings.h"
#include "check.h"
#include "memory_registry.h"

using namespace std::string_literals;

namespace {

std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return std::string(adapter::kClassKey) + name;
}

void addAdapter(MemoryRegistry& reg, int i, std::string_view id) {
    const std::string key = entryKey(i);
    reg.put(key + "\\Linkage", "UpperBind", platform::RegistryType::MultiString, "Tcpip\0\0"s);
    reg.putText(key + "\\Ndi\\Interfaces", "LowerRange", "ethernet");
    reg.putText(key, "DriverDesc", "Adapter");
    reg.putText(key, "NetCfgInstanceId", id);
}

bool digitsOnly(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) args.emplace_back();
        else args.back() += static_cast<char>(data[i]);
    }
    MemoryRegistry reg;
    addAdapter(reg, 0, "{A}");
    addAdapter(reg, 1, "{B}");
    const auto call = adapter::parseVerb(args, reg);
    FUZZ_CHECK(reg.writes.empty());
    if (!call) return 0;

    FUZZ_CHECK(args.size() >= 7 && args[0] == adapter::kApplyVerb);
    FUZZ_CHECK(call->request.instance == "{A}" || call->request.instance == "{B}");
    FUZZ_CHECK(call->driverKey == std::string(adapter::kDriverKeyPrefix) + (call->request.instance == "{A}" ? "0000" : "0001"));
    for (const std::string& f : call->request.fields) {
        FUZZ_CHECK(adapter::isFieldText(f));
        FUZZ_CHECK(f.size() <= 15);
        for (char c : f) FUZZ_CHECK((c >= '0' && c <= '9') || c == '.');
    }
    FUZZ_CHECK(call->progressWindow.size() <= 20 && digitsOnly(call->progressWindow));
    if (call->confirmSeconds) FUZZ_CHECK(*call->confirmSeconds >= 1 && *call->confirmSeconds <= 600);
    if (!call->answer.empty()) FUZZ_CHECK(call->confirmSeconds && adapter::isAnswerName(call->answer));

    // What the window would pass for this call reads back as the same call.
    const auto again = adapter::parseVerb(
        adapter::verbArguments(call->request, call->progressWindow, call->confirmSeconds, call->answer), reg);
    FUZZ_CHECK(again);
    FUZZ_CHECK(again->request.instance == call->request.instance && again->request.fields == call->request.fields);
    FUZZ_CHECK(again->progressWindow == call->progressWindow && again->confirmSeconds == call->confirmSeconds &&
               again->answer == call->answer && again->driverKey == call->driverKey);
    return 0;
}
