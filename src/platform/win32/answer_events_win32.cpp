// The answer events of the remote-safe apply and the wait on them.
#include <windows.h>
#include <bcrypt.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "platform/win32/confirm_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

constexpr DWORD kAnswerRights = SYNCHRONIZE | EVENT_MODIFY_STATE;
constexpr int kNameAttempts = 8;

// "D:P(A;;0x00100002;;;<user>)(A;;0x00100002;;;BA)": a protected DACL with
// the two rights for this process's user and the Administrators group.
std::unique_ptr<void, LocalFreer> answerSecurity() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return nullptr;
    UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return nullptr;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return nullptr;
    LPWSTR sidText = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sidText)) return nullptr;
    std::unique_ptr<void, LocalFreer> sidOwner(sidText);
    wchar_t rights[16];
    wsprintfW(rights, L"0x%08lX", static_cast<unsigned long>(kAnswerRights));
    const std::wstring sddl = std::wstring(L"D:P(A;;") + rights + L";;;" + sidText + L")(A;;" + rights + L";;;BA)";
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
        return nullptr;
    return std::unique_ptr<void, LocalFreer>(sd);
}

std::wstring eventName(std::string_view name, const wchar_t* suffix) {
    return L"Local\\" + widen(name) + suffix;
}

// A new event, never an existing one.
UniqueHandle createFresh(const std::wstring& name, PSECURITY_DESCRIPTOR sd) {
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    SetLastError(ERROR_SUCCESS);
    UniqueHandle h(CreateEventExW(&sa, name.c_str(), CREATE_EVENT_MANUAL_RESET, kAnswerRights));
    if (h && GetLastError() == ERROR_ALREADY_EXISTS) return {};
    return h;
}

std::string randomName() {
    unsigned char bytes[16];
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return {};
    static const char digits[] = "0123456789abcdef";
    std::string name = "korvan-answer-";
    for (unsigned char b : bytes) {
        name += digits[b >> 4];
        name += digits[b & 15];
    }
    return name;
}

}  // namespace

std::optional<AnswerEvents> AnswerEvents::createNamed(std::string_view name) {
    if (!platform::isAnswerName(name)) return std::nullopt;
    auto sd = answerSecurity();
    if (!sd) return std::nullopt;
    AnswerEvents events;
    events.keep_ = createFresh(eventName(name, L".keep"), sd.get());
    if (!events.keep_) return std::nullopt;
    events.undo_ = createFresh(eventName(name, L".undo"), sd.get());
    if (!events.undo_) return std::nullopt;
    events.name_ = std::string(name);
    return events;
}

std::optional<AnswerEvents> AnswerEvents::create() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = randomName();
        if (name.empty()) return std::nullopt;
        if (auto events = createNamed(name)) return events;
    }
    return std::nullopt;
}

std::optional<AnswerEvents> AnswerEvents::open(std::string_view name) {
    if (!platform::isAnswerName(name)) return std::nullopt;
    AnswerEvents events;
    events.keep_ = UniqueHandle(OpenEventW(kAnswerRights, FALSE, eventName(name, L".keep").c_str()));
    events.undo_ = UniqueHandle(OpenEventW(kAnswerRights, FALSE, eventName(name, L".undo").c_str()));
    if (!events.keep_ || !events.undo_) return std::nullopt;
    events.name_ = std::string(name);
    return events;
}

platform::Reply Win32AnswerWait::wait(unsigned timeoutMs) {
    const DWORD ms = timeoutMs >= INFINITE ? INFINITE - 1 : timeoutMs;
    if (!events_) {
        Sleep(ms);
        return platform::Reply::TimedOut;
    }
    const HANDLE both[2] = {events_->undoEvent(), events_->keepEvent()};
    switch (WaitForMultipleObjects(2, both, FALSE, ms)) {
    case WAIT_OBJECT_0 + 1: return platform::Reply::Keep;
    case WAIT_TIMEOUT: return platform::Reply::TimedOut;
    default: return platform::Reply::Undo;
    }
}

}  // namespace win32
