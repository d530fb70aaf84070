// The FTP connection and its login: the connect, the passive login again
// of the fallback, and the server's replies.
#include "platform/win32/ftp_win32_internal.h"

#include <cstring>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"

namespace win32 {
namespace ftpwire {
namespace {

constexpr wchar_t kAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

}  // namespace

// The code of the server's last reply on this thread's WinINet calls, 0
// when there is none.
int lastReplyCode() {
    wchar_t reply[512] = {};
    DWORD code = 0, len = 511;
    if (!InternetGetLastResponseInfoW(&code, reply, &len)) return 0;
    // The reply text may hold several lines; the last one carries the code.
    std::wstring_view text(reply, wcsnlen(reply, 512));
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.remove_suffix(1);
    const size_t line = text.find_last_of(L'\n');
    if (line != std::wstring_view::npos) text.remove_prefix(line + 1);
    if (text.size() < 3) return 0;
    int v = 0;
    for (int i = 0; i < 3; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return 0;
        v = v * 10 + (text[i] - L'0');
    }
    return v;
}

// Whether the WinINet call that just failed on this thread failed for want
// of a data connection: the server refused PORT/EPRT (500, 501, 502, 504,
// 522) or could not connect back (425), or WinINet could not connect or
// timed out. A 550 (no such file or folder) and an empty listing are not.
bool noDataConnection() {
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_CANNOT_CONNECT || error == ERROR_INTERNET_TIMEOUT) return true;
    if (error != ERROR_INTERNET_EXTENDED_ERROR) return false;
    switch (lastReplyCode()) {
        case 425: case 500: case 501: case 502: case 504: case 522: return true;
        default: return false;
    }
}

HINTERNET connectTo(HINTERNET session, const Win32Ftp::Login& l) {
    // Port 0 is INTERNET_DEFAULT_FTP_PORT's stand-in: WinINet uses 21.
    return InternetConnectW(session, l.host.c_str(), static_cast<INTERNET_PORT>(l.port),
                            l.user ? l.user->c_str() : nullptr, l.password ? l.password->c_str() : nullptr,
                            INTERNET_SERVICE_FTP, l.passive ? INTERNET_FLAG_PASSIVE : 0, 0);
}

// Worker: the fallback. Logs in again with the same login in passive mode
// and goes to the directory the old connection is in; only once it is
// there does the new connection become the step's (and the window's once
// the step is over). Otherwise it is closed, the old connection stays as
// it was, and the step fails. False when it cannot.
bool goPassive(Step& step, Link& link) {
    const auto dir = directoryBytes(step, link.connection);
    if (!dir) return false;
    Win32Ftp::Login passive = link.login;
    passive.passive = true;
    if (!step.live()) return false;
    HINTERNET fresh = step.hold(connectTo(link.session, passive));
    if (!fresh) return false;
    step.advance();
    // The new login asks for UTF-8 names as the first did, before its way
    // back.
    passive.utf8 = negotiateUtf8(step, fresh);
    if (!step.live() || !FtpSetCurrentDirectoryA(fresh, dir->c_str())) {
        // Landed elsewhere: a later delete or rename would act on the wrong
        // folder.
        step.close(fresh);
        return false;
    }
    step.advance();
    step.adopt(fresh, passive.utf8);
    link.connection = fresh;
    link.login = passive;
    return true;
}

bool negotiateUtf8(Step& step, HINTERNET connection) {
    if (!step.live()) return false;
    FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_ASCII, "OPTS UTF8 ON", 0, nullptr);
    step.advance();
    const int code = lastReplyCode();
    if (code >= 200 && code < 300) return true;
    if (!step.live() || !FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_ASCII, "FEAT", 0, nullptr)) return false;
    step.advance();
    std::string reply(4096, '\0');
    DWORD error = 0, len = static_cast<DWORD>(reply.size() - 1);
    if (!InternetGetLastResponseInfoA(&error, reply.data(), &len)) return false;
    reply.resize(strnlen(reply.c_str(), reply.size()));
    // Feature lines start with a blank: " UTF8".
    for (size_t at = reply.find(" UTF8"); at != std::string::npos; at = reply.find(" UTF8", at + 1)) {
        const bool lineStart = at > 0 && reply[at - 1] == '\n';
        const size_t end = at + 5;
        const bool lineEnd = end == reply.size() || reply[end] == '\r' || reply[end] == '\n';
        if (lineStart && lineEnd) return true;
    }
    return false;
}

}  // namespace ftpwire

using namespace ftpwire;

Win32Ftp::~Win32Ftp() = default;

bool Win32Ftp::open(std::string_view server, const std::optional<std::string>& account,
                    const std::optional<std::string>& password, int port, bool passive) {
    if (busy_) return false;
    close();
    if (port < 0 || port > 65535) return false;
    if (!session_) session_.reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session_) return false;
    Login login;
    login.host = widen(server);
    if (account) login.user = widen(*account);
    if (password) login.password = widen(*password);
    login.port = port;
    login.passive = passive;
    // The names' encoding is asked for on the worker that logged in: the
    // reply is that thread's.
    auto opened = call(std::pair<InetHandle, bool>(), [session = session_.get(), login](Step& step) {
        std::pair<InetHandle, bool> out;
        if (!step.live()) return out;
        HINTERNET c = step.hold(connectTo(session, login));
        if (!c) return out;
        out.second = negotiateUtf8(step, c);
        if (step.unhold(c)) out.first.reset(c);
        return out;
    });
    connection_ = std::move(opened.first);
    login.utf8 = opened.second;
    if (connection_) login_ = std::make_shared<Login>(std::move(login));
    return isOpen();
}

void Win32Ftp::close() {
    connection_.reset();
    login_.reset();
    forgetNames();
}

void Win32Ftp::setStepWindow(ui::Form* window) {
    auto* form = dynamic_cast<Win32Form*>(window);
    stepWindow_ = form ? form->hwnd() : nullptr;
}

}  // namespace win32
