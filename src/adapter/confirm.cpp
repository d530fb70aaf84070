#include "adapter/confirm.h"

#include <chrono>

#include "adapter/apply_verb.h"
#include "adapter/panel.h"
#include "adapter/settings.h"

namespace adapter {

using platform::RawRead;
using platform::RegistryAccess;
using platform::RegistryKey;
using platform::RegistryRoot;

namespace {

std::string interfacePath(std::string_view instanceId) {
    return std::string(kInterfacesKey) + std::string(instanceId);
}

bool isDecimal(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::optional<InterfaceSnapshot> takeSnapshot(platform::Registry& registry, std::string_view instanceId) {
    // An empty identifier would name the parent of all interface keys.
    if (instanceId.empty()) return std::nullopt;
    RegistryKey key(registry, RegistryRoot::LocalMachine, interfacePath(instanceId), RegistryAccess::Read);
    if (!key) return std::nullopt;
    InterfaceSnapshot snapshot;
    snapshot.instance = std::string(instanceId);
    for (size_t i = 0; i < kAppliedValues.size(); ++i) {
        const RawRead r = key.queryRaw(kAppliedValues[i]);
        if (r.outcome == RawRead::Outcome::Failed) return std::nullopt;
        if (r.outcome == RawRead::Outcome::Found) {
            snapshot.values[i].raw = r.value;
            snapshot.values[i].read = key.query(kAppliedValues[i]);
        }
    }
    return snapshot;
}

bool restoreSnapshot(platform::Registry& registry, const InterfaceSnapshot& snapshot) {
    if (snapshot.instance.empty()) return false;
    RegistryKey key(registry, RegistryRoot::LocalMachine, interfacePath(snapshot.instance), RegistryAccess::ReadWrite);
    if (!key) return false;
    bool all = true;
    for (size_t i = 0; i < kAppliedValues.size(); ++i) {
        const SavedValue& v = snapshot.values[i];
        const bool ok = v.raw ? key.setRaw(kAppliedValues[i], *v.raw) : key.remove(kAppliedValues[i]);
        all = all && ok;
    }
    return all;
}

bool changesAddress(const InterfaceSnapshot& snapshot, std::string_view ip, std::string_view mask,
                    std::string_view gateway) {
    const std::string_view texts[3] = {ip, mask, gateway};
    for (size_t i = 0; i < 3; ++i) {
        const auto& read = snapshot.values[i].read;
        if (!snapshot.values[i].raw || !read) return true;
        if (read->type != platform::RegistryType::MultiString || read->data != encodeMultiString(texts[i]))
            return true;
    }
    return false;
}

std::optional<VerbOptions> parseVerbOptions(std::span<const std::string> options) {
    VerbOptions out;
    bool progress = false, answer = false;
    for (size_t i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size()) return std::nullopt;   // an option without its value
        const std::string& name = options[i];
        const std::string& value = options[i + 1];
        if (name == platform::kProgressWindowOption) {
            // A window handle in decimal.
            if (progress || !isDecimal(value, 20)) return std::nullopt;
            progress = true;
            out.progressWindow = value;
        } else if (name == kConfirmOption) {
            if (out.confirmSeconds || !isDecimal(value, 3)) return std::nullopt;
            const int seconds = std::stoi(value);
            if (seconds < kConfirmSecondsMin || seconds > kConfirmSecondsMax) return std::nullopt;
            out.confirmSeconds = seconds;
        } else if (name == kAnswerOption) {
            if (answer || !isAnswerName(value)) return std::nullopt;
            answer = true;
            out.answer = value;
        } else {
            return std::nullopt;
        }
    }
    if (answer && !out.confirmSeconds) return std::nullopt;
    return out;
}

std::string_view stepText(Step step) {
    if (step == Step::Disabling || step == Step::UndoDisabling) return kDisabling;
    if (step == Step::Enabling || step == Step::UndoEnabling) return kEnabling;
    return {};
}

std::string_view finalText(int exitCode) {
    switch (exitCode) {
    case kExitApplied: return kApplied;
    case kExitRestartFailed: return kRestartFailed;
    case kExitUndone: return "已还原原来的网络设置";
    case kExitUndoFailed: return "还原原来的网络设置失败！";
    default: return kWriteFailed;
    }
}

void SharedAnswer::set(Answer answer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (answer_) return;
        answer_ = answer;
    }
    changed_.notify_all();
}

Answer SharedAnswer::wait(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return answer_.has_value(); }))
        return Answer::TimedOut;
    return *answer_;
}

int confirmOrUndo(const InterfaceSnapshot& snapshot, int restartCode, int seconds, AnswerWait& answers,
                  platform::Registry& registry, const RestartFn& restart, const std::function<void(Step)>& report) {
    if (restartCode != kExitApplied && restartCode != kExitRestartFailed) return restartCode;
    report(Step::Confirming);
    const unsigned waitMs = static_cast<unsigned>(seconds < 0 ? 0 : seconds) * 1000u + kAnswerGraceMs;
    if (answers.wait(waitMs) == Answer::Keep) return restartCode;

    const bool restored = restoreSnapshot(registry, snapshot);
    const bool restarted = restart([&report](Step s) {
        report(s == Step::Disabling ? Step::UndoDisabling : s == Step::Enabling ? Step::UndoEnabling : s);
    });
    return restored && restarted ? kExitUndone : kExitUndoFailed;
}

}  // namespace adapter
