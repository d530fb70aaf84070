// Elevation on demand and the device-installation restart.
#include "platform/win32/adapter_win32.h"

#include <sddl.h>
#include <setupapi.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

// --- the elevated instance ------------------------------------------------

// --- the device-installation restart ---------------------------------------

// The network adapter device class.
const GUID kNetClass = {0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A text property of the device; "" when it has none.
std::wstring textProperty(HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD property) {
    DWORD type = 0, size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 2, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type, reinterpret_cast<BYTE*>(buf.data()), size,
                                           nullptr) ||
        type != REG_SZ)
        return {};
    return buf.data();
}

std::wstring instanceOf(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    wchar_t instance[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &dev, instance, 512, nullptr)) return {};
    return instance;
}

platform::DeviceChange change(const std::wstring& instance, bool enable) {
    using platform::DeviceChange;
    if (instance.empty()) return DeviceChange::Failed;
    HDEVINFO set = SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return DeviceChange::Failed;
    DeviceChange result = DeviceChange::Failed;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA dev{};
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, i, &dev)) break;
        const std::wstring id = instanceOf(set, dev);
        if (CompareStringOrdinal(id.c_str(), -1, instance.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
        SP_PROPCHANGE_PARAMS p{};
        p.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        p.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
        p.Scope = DICS_FLAG_GLOBAL;
        p.HwProfile = 0;
        if (SetupDiSetClassInstallParamsW(set, &dev, &p.ClassInstallHeader, sizeof p) &&
            SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &dev)) {
            SP_DEVINSTALL_PARAMS_W params{};
            params.cbSize = sizeof params;
            const bool reboot = SetupDiGetDeviceInstallParamsW(set, &dev, &params) &&
                                (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART));
            result = reboot ? DeviceChange::RebootNeeded : DeviceChange::Done;
        }
        break;   // one device has this identifier
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

// The end of the followed process, posted to the receiver window.
constexpr UINT kEnded = WM_APP + 2;

// A started instance: its steps and its end arrive at the receiver window.
class Win32ElevatedInstance final : public platform::ElevatedInstance, public ProgressReceiver {
public:
    Win32ElevatedInstance(std::function<void(int, int)> progress, std::function<void(std::optional<int>)> ended)
        : ProgressReceiver(std::move(progress)), m_ended(std::move(ended)) {}
    ~Win32ElevatedInstance() override {
        // Waits for a callback that already runs: none posts afterwards.
        if (m_wait) UnregisterWaitEx(m_wait, INVALID_HANDLE_VALUE);
        if (m_polling) KillTimer(hwnd(), kPollTimer);
    }
    // Follows the process: a thread-pool wait on it, or where none can be
    // registered (or with registerWait false) a timer that polls it. False
    // when neither can be had.
    bool follow(HANDLE process, bool registerWait) {
        m_process.reset(process);
        if (registerWait && RegisterWaitForSingleObject(&m_wait, m_process.get(), &Win32ElevatedInstance::signalled,
                                                        hwnd(), INFINITE, WT_EXECUTEONLYONCE))
            return true;
        m_wait = nullptr;
        m_polling = SetTimer(hwnd(), kPollTimer, kPollMs, nullptr) != 0;
        return m_polling;
    }

private:
    static void CALLBACK signalled(void* window, BOOLEAN) { PostMessageW(static_cast<HWND>(window), kEnded, 0, 0); }
    void other(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_TIMER) {
            if (wParam != kPollTimer || WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0) return;
            KillTimer(hwnd(), kPollTimer);
            m_polling = false;
            // After the steps it posted before it ended.
            PostMessageW(hwnd(), kEnded, 0, 0);
            return;
        }
        if (message != kEnded || !m_ended) return;
        // Anyone may post to this window: only the process itself says it ended.
        if (WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0) return;
        std::optional<int> code;
        DWORD value = 0;
        if (GetExitCodeProcess(m_process.get(), &value) && value != STILL_ACTIVE) code = static_cast<int>(value);
        // The callback may end this object: it runs from a copy, and nothing
        // of this object is touched after it.
        std::function<void(std::optional<int>)> ended = std::move(m_ended);
        m_ended = nullptr;
        ended(code);
    }
    static constexpr UINT_PTR kPollTimer = 1;
    static constexpr UINT kPollMs = 100;
    std::function<void(std::optional<int>)> m_ended;
    UniqueHandle m_process;
    HANDLE m_wait = nullptr;
    bool m_polling = false;
};

}  // namespace

std::wstring quoteArgument(std::wstring_view arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) return std::wstring(arg);
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t slashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++slashes;
            ++i;
        }
        if (i == arg.size()) {
            out.append(slashes * 2, L'\\');   // the closing quote stays a quote
            break;
        }
        if (arg[i] == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        out += arg[i];
    }
    out += L'"';
    return out;
}

UINT progressMessage() {
    static const UINT message = RegisterWindowMessageW(L"Korvan.ApplyAdapter.Step");
    return message;
}

ProgressReceiver::ProgressReceiver(std::function<void(int, int)> progress) : m_progress(std::move(progress)) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kProgressClass;
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return;
    m_hwnd = CreateWindowExW(0, kProgressClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    if (m_hwnd) SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProgressReceiver::~ProgressReceiver() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

void ProgressReceiver::drain() {
    MSG msg;
    while (m_hwnd && PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

LRESULT CALLBACK ProgressReceiver::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != 0 && msg == progressMessage()) {
        auto* self = reinterpret_cast<ProgressReceiver*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && self->m_progress && wp > 0 && wp < 16) self->m_progress(static_cast<int>(wp), static_cast<int>(lp));
        return 0;
    }
    if ((msg >= WM_APP && msg <= 0xBFFF) || msg == WM_TIMER) {
        auto* self = reinterpret_cast<ProgressReceiver*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self) self->other(msg, wp, lp);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

bool Win32Elevation::elevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;
    UniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // No such information: a system without the consent prompt.
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
    if (elevation.TokenIsElevated) return true;
    DWORD lua = 1;
    DWORD luaSize = sizeof lua;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA",
                     RRF_RT_REG_DWORD, nullptr, &lua, &luaSize) == ERROR_SUCCESS &&
        lua == 0)
        return true;
    return false;
}

std::unique_ptr<platform::ElevatedInstance> Win32Elevation::start(const std::vector<std::string>& arguments,
                                                                   platform::ElevatedCallbacks callbacks) {
    auto instance = std::make_unique<Win32ElevatedInstance>(std::move(callbacks.progress), std::move(callbacks.ended));
    if (!instance->hwnd()) return nullptr;
    std::wstring parameters;
    for (const std::string& a : arguments) {
        if (!parameters.empty()) parameters += L' ';
        parameters += quoteArgument(widen(a));
    }
    parameters += L' ' + widen(platform::kProgressWindowOption) + L' ' +
                  std::to_wstring(reinterpret_cast<std::uintptr_t>(instance->hwnd()));
    // The file this process holds, by the path it has now: not a name that
    // a junction or a rename could have pointed elsewhere since.
    const std::wstring program = this->program();
    if (program.empty()) return nullptr;

    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = GetActiveWindow();
    sei.lpVerb = m_verb.c_str();
    sei.lpFile = program.c_str();
    sei.lpParameters = parameters.c_str();
    sei.nShow = SW_HIDE;
    // A declined prompt fails here (ERROR_CANCELLED): nothing started.
    if (!ShellExecuteExW(&sei) || !sei.hProcess) return nullptr;
    if (!instance->follow(sei.hProcess, m_registerWait)) {
        // Neither a wait nor a timer: the instance runs on, and the window
        // cannot know how it ends (reported as unconfirmed).
        return nullptr;
    }
    return instance;
}

std::wstring Win32Elevation::program() { return m_program.empty() ? heldFilePath(m_self) : m_program; }

bool Win32Elevation::canElevate() { return !program().empty(); }

std::wstring launchPath(std::wstring_view path) {
    constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\", kLocal = L"\\\\?\\";
    if (path.substr(0, kUnc.size()) == kUnc) return L"\\\\" + std::wstring(path.substr(kUnc.size()));
    if (path.substr(0, kLocal.size()) == kLocal) return std::wstring(path.substr(kLocal.size()));
    return std::wstring(path);
}

std::wstring heldFilePath(HANDLE file) {
    if (!file || file == INVALID_HANDLE_VALUE) return {};
    std::wstring buf(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(file, buf.data(), static_cast<DWORD>(buf.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return launchPath(buf);
}

std::vector<platform::NetworkDevice> Win32Devices::present() {
    std::vector<platform::NetworkDevice> out;
    HDEVINFO set = SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return out;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA dev{};
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, i, &dev)) break;
        out.push_back({narrow(instanceOf(set, dev)), narrow(textProperty(set, dev, SPDRP_DRIVER))});
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

platform::DeviceChange Win32Devices::setEnabled(std::string_view instance, bool enable, unsigned timeoutMs) {
    const ULONGLONG begun = GetTickCount64();
    const platform::DeviceChange result = change(widen(instance), enable);
    // The call cannot be ended; one that took longer than its bound counts
    // as failed all the same.
    if (timeoutMs != 0 && GetTickCount64() - begun > timeoutMs) return platform::DeviceChange::Failed;
    return result;
}

namespace {

constexpr wchar_t kNamespace[] = L"Korvan";
constexpr wchar_t kBoundary[] = L"Korvan.ApplyAdapter";
// Administrators and SYSTEM, nobody else; no inherited entries.
constexpr wchar_t kAdminsOnly[] = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

// A boundary of the Administrators group and the high integrity label;
// null when the system makes none.
HANDLE adminBoundary() {
    HANDLE boundary = CreateBoundaryDescriptorW(kBoundary, 0);
    if (!boundary) return nullptr;
    BYTE admins[SECURITY_MAX_SID_SIZE], high[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof admins, highSize = sizeof high;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize) ||
        !CreateWellKnownSid(WinHighLabelSid, nullptr, high, &highSize) || !AddSIDToBoundaryDescriptor(&boundary, admins) ||
        !AddIntegrityLabelToBoundaryDescriptor(&boundary, high)) {
        DeleteBoundaryDescriptor(boundary);
        return nullptr;
    }
    return boundary;
}

class Win32Held final : public platform::ApplyLock::Held {
public:
    Win32Held(UniqueHandle mutex, HANDLE space) : m_mutex(std::move(mutex)), m_namespace(space) {}
    ~Win32Held() override {
        ReleaseMutex(m_mutex.get());
        m_mutex.reset();
        if (m_namespace) ClosePrivateNamespace(m_namespace, 0);
    }

private:
    UniqueHandle m_mutex;
    HANDLE m_namespace;
};

}  // namespace

bool Win32ApplyLock::privateNamespaces() {
    HANDLE boundary = CreateBoundaryDescriptorW(kBoundary, 0);
    if (!boundary) return false;
    DeleteBoundaryDescriptor(boundary);
    return true;
}

std::unique_ptr<platform::ApplyLock::Held> Win32ApplyLock::take() {
    UniqueHandle mutex;
    HANDLE space = nullptr;
    if (!privateNamespaces()) {
        // No private namespaces on this system: the named mutex.
        mutex.reset(CreateMutexW(nullptr, FALSE, kApplyMutexName));
    } else {
        HANDLE boundary = adminBoundary();
        if (!boundary) return nullptr;
        PSECURITY_DESCRIPTOR raw = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnly, SDDL_REVISION_1, &raw, nullptr)) {
            DeleteBoundaryDescriptor(boundary);
            return nullptr;
        }
        std::unique_ptr<void, LocalFreer> descriptor(raw);
        SECURITY_ATTRIBUTES sa{sizeof sa, descriptor.get(), FALSE};
        space = CreatePrivateNamespaceW(&sa, boundary, kNamespace);
        if (!space && GetLastError() == ERROR_ALREADY_EXISTS) space = OpenPrivateNamespaceW(boundary, kNamespace);
        DeleteBoundaryDescriptor(boundary);
        if (!space) return nullptr;
        mutex.reset(CreateMutexW(&sa, FALSE, L"Korvan\\ApplyAdapter"));
        if (!mutex) {
            ClosePrivateNamespace(space, 0);
            return nullptr;
        }
    }
    if (!mutex) return nullptr;
    // Abandoned: an instance ended without letting go; the lock is ours now.
    const DWORD w = WaitForSingleObject(mutex.get(), 0);
    if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) {
        if (space) ClosePrivateNamespace(space, 0);
        return nullptr;
    }
    return std::make_unique<Win32Held>(std::move(mutex), space);
}

}  // namespace win32
