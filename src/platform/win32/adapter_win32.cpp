// Elevation on demand and the device-installation restart.
#include "platform/win32/adapter_win32.h"

#include <setupapi.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

// --- the elevated instance ------------------------------------------------

std::wstring modulePath() {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return buf;
}

// --- the device-installation restart ---------------------------------------

// The network adapter device class.
const GUID kNetClass = {0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

bool sameId(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Whether a multi-string property of the device (hardware or compatible
// identifiers) holds `id`.
bool propertyHolds(HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD property, std::wstring_view id) {
    DWORD type = 0, size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 2, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type, reinterpret_cast<BYTE*>(buf.data()), size,
                                           nullptr))
        return false;
    for (const wchar_t* p = buf.data(); *p; p += wcslen(p) + 1)
        if (sameId(p, id)) return true;
    return false;
}

bool matches(HDEVINFO set, SP_DEVINFO_DATA& dev, std::wstring_view id) {
    wchar_t instance[512] = {};
    if (SetupDiGetDeviceInstanceIdW(set, &dev, instance, 512, nullptr) && sameId(instance, id)) return true;
    return propertyHolds(set, dev, SPDRP_HARDWAREID, id) || propertyHolds(set, dev, SPDRP_COMPATIBLEIDS, id);
}

// Calls `each` with every present network adapter the identifier selects.
template <class Each>
void forEachMatch(HDEVINFO set, std::wstring_view id, Each each) {
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA dev{};
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, i, &dev)) break;
        if (matches(set, dev, id)) each(dev);
    }
}

platform::DeviceChange change(const std::wstring& id, bool enable) {
    using platform::DeviceChange;
    if (id.empty()) return DeviceChange::Failed;
    HDEVINFO set = SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return DeviceChange::Failed;
    bool any = false, failed = false, reboot = false;
    forEachMatch(set, id, [&](SP_DEVINFO_DATA& dev) {
        any = true;
        SP_PROPCHANGE_PARAMS p{};
        p.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        p.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
        p.Scope = DICS_FLAG_GLOBAL;
        p.HwProfile = 0;
        if (!SetupDiSetClassInstallParamsW(set, &dev, &p.ClassInstallHeader, sizeof p) ||
            !SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &dev)) {
            failed = true;   // the other devices still get their turn
            return;
        }
        SP_DEVINSTALL_PARAMS_W params{};
        params.cbSize = sizeof params;
        if (SetupDiGetDeviceInstallParamsW(set, &dev, &params) && (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)))
            reboot = true;
    });
    SetupDiDestroyDeviceInfoList(set);
    if (!any || failed) return DeviceChange::Failed;
    return reboot ? DeviceChange::RebootNeeded : DeviceChange::Done;
}

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

ProgressReceiver::ProgressReceiver(std::function<void(int)> progress) : m_progress(std::move(progress)) {
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
        if (self && self->m_progress && wp > 0 && wp < 16) self->m_progress(static_cast<int>(wp));
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

std::optional<int> Win32Elevation::runElevated(const std::vector<std::string>& arguments, unsigned timeoutMs,
                                               const std::function<void(int)>& progress) {
    ProgressReceiver window(progress);
    if (!window.hwnd()) return std::nullopt;
    std::wstring parameters;
    for (const std::string& a : arguments) {
        if (!parameters.empty()) parameters += L' ';
        parameters += quoteArgument(widen(a));
    }
    parameters += L' ' + widen(platform::kProgressWindowOption) + L' ' +
                  std::to_wstring(reinterpret_cast<std::uintptr_t>(window.hwnd()));
    const std::wstring program = m_program.empty() ? modulePath() : m_program;
    if (program.empty()) return std::nullopt;

    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = GetActiveWindow();
    sei.lpVerb = m_verb.c_str();
    sei.lpFile = program.c_str();
    sei.lpParameters = parameters.c_str();
    sei.nShow = SW_HIDE;
    // A declined prompt fails here (ERROR_CANCELLED): nothing started.
    if (!ShellExecuteExW(&sei) || !sei.hProcess) return std::nullopt;
    UniqueHandle process(sei.hProcess);
    const bool ended = waitFor(process.get(), timeoutMs, true);
    // Steps posted just before the instance ended may still be queued.
    window.drain();
    if (!ended) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return std::nullopt;
    return static_cast<int>(code);
}

platform::DeviceChange Win32Devices::setEnabled(std::string_view id, bool enable, unsigned timeoutMs) {
    struct Call {
        UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        std::atomic<platform::DeviceChange> result{platform::DeviceChange::Failed};
    };
    auto call = std::make_shared<Call>();
    if (!call->done) return platform::DeviceChange::Failed;
    std::thread worker;
    try {
        worker = std::thread([call, wid = widen(id), enable] {
            try {
                call->result = change(wid, enable);
            } catch (...) {
            }
            SetEvent(call->done.get());
        });
    } catch (...) {
        return platform::DeviceChange::Failed;
    }
    const bool inTime = waitFor(call->done.get(), timeoutMs, true);
    // Past the bound the call still runs, and cannot be ended: nothing may
    // overtake it (an enable started now could finish before the disable).
    if (!inTime) waitFor(call->done.get(), 0, true);
    worker.join();
    return inTime ? call->result.load() : platform::DeviceChange::Failed;
}

std::vector<std::string> Win32Devices::selected(std::string_view id) {
    std::vector<std::string> out;
    const std::wstring wid = widen(id);
    if (wid.empty()) return out;
    HDEVINFO set = SetupDiGetClassDevsW(&kNetClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return out;
    forEachMatch(set, wid, [&](SP_DEVINFO_DATA& dev) {
        wchar_t instance[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &dev, instance, 512, nullptr)) out.push_back(narrow(instance));
    });
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

}  // namespace win32
