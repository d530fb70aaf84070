// The steps of the FTP connection: the worker each call runs on, the wait
// that keeps the windows working meanwhile, and the giving up of a step.
#include "platform/win32/ftp_win32_internal.h"

#include "platform/win32/win32_form.h"

namespace win32 {
namespace ftpwire {

void dispose(Leftovers& l) {
    // The file first: a handle's close may wait for a server.
    if (l.file != INVALID_HANDLE_VALUE) {
        CloseHandle(l.file);
        DeleteFileW(l.part.c_str());
        l.file = INVALID_HANDLE_VALUE;
    }
    for (HINTERNET h : l.handles) InternetCloseHandle(h);
    l.handles.clear();
}

// Closes and removes what a step left on a thread of its own: closing a
// transfer's handle can wait for the server, a delete for a slow disk, and
// the window does not wait for either. Without a thread it is done here.
void disposeElsewhere(Leftovers l) {
    if (l.handles.empty() && l.file == INVALID_HANDLE_VALUE) return;
    std::shared_ptr<Leftovers> left;
    try {
        left = std::make_shared<Leftovers>(std::move(l));
        std::thread([left] { dispose(*left); }).detach();
        return;
    } catch (...) {
        // No thread or no memory: late is better than never.
    }
    if (left) dispose(*left);
    else dispose(l);
}

namespace {

// What a user does with the mouse and the keyboard, apart from moving the
// pointer and taking a window by its caption.
bool isUserInput(const MSG& m) {
    if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) return false;
    if (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCAPTION) return false;
    return (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
           (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
           (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCXBUTTONDBLCLK) || m.message == WM_INPUT;
}

// A request to close a window or to end the program, as the message to
// post once the step is over; nothing for any other message. A click on a
// close box and Alt+F4 become a WM_CLOSE of their top-level window.
std::optional<MSG> closeRequest(const MSG& m) {
    const bool closeBox = m.message == WM_NCLBUTTONDOWN && m.wParam == HTCLOSE;
    const bool altF4 = m.message == WM_SYSKEYDOWN && m.wParam == VK_F4;
    if (closeBox || altF4) {
        MSG c = m;
        c.hwnd = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
        c.message = WM_CLOSE;
        c.wParam = 0;
        c.lParam = 0;
        if (c.hwnd) return c;
        return std::nullopt;
    }
    if (m.message == WM_QUIT || m.message == WM_CLOSE ||
        (m.message == WM_SYSCOMMAND && (m.wParam & 0xFFF0) == SC_CLOSE))
        return m;
    return std::nullopt;
}

// Whether a close request ends the step: the end of the program, or a
// close of the step's own window.
bool endsTheStep(const MSG& close, HWND stepWindow) {
    if (close.message == WM_QUIT) return true;
    return stepWindow && close.hwnd && GetAncestor(close.hwnd, GA_ROOT) == stepWindow;
}

// Messages that must not run in the middle of a step (they end windows or
// come from other threads' work): posted again once the step is over.
bool waitsForTheStep(const MSG& m) {
    return m.message == WM_SYSCOMMAND || m.message == WM_DESTROY || (m.hwnd == nullptr && m.message != WM_TIMER);
}

// Whether a window takes the user's input while a step runs: one of the
// tool's windows that holds its owner disabled, a question asked over it
// (a long transfer must not keep the user from answering it).
bool answersDuringStep(HWND hwnd, Win32Windows* windows) {
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    if (!root || !IsWindowEnabled(root)) return false;
    HWND owner = GetWindow(root, GW_OWNER);
    if (!owner || IsWindowEnabled(owner)) return false;
    return !windows || windows->formOf(root);
}

// Input for such a window goes the way the message loop sends it
// (accelerators and dialog keys first, so Enter and Esc work).
void dispatchInput(MSG& m, Win32Windows* windows) {
    if (windows) return windows->dispatch(m);
    if (IsDialogMessageW(GetAncestor(m.hwnd, GA_ROOT), &m)) return;
    TranslateMessage(&m);
    DispatchMessageW(&m);
}

}  // namespace

// Waits for `done` with this thread's windows painting, their timers
// running and the messages of other threads arriving. Clicks and keys meet
// a busy window and are dropped, as they would be on a disabled one, except
// those for a question (answersDuringStep). Ends
// when the step is done, when its progress counter has not moved for the
// stall limit (outside opaque calls), or when a close request that ends the
// step arrives; close requests and the messages that wait for the step are
// left in `later`. Transfer progress goes to `report` a few times a second.
WaitEnd waitResponsive(HANDLE done, const Step& step, std::vector<MSG>& later, HWND stepWindow,
                       Win32Windows* windows, const platform::Ftp::Progress& report) {
    const ULONGLONG limit = static_cast<ULONGLONG>(std::max(ftpLimits().stallMs, 1));
    unsigned seen = step.progress();
    std::uint64_t reported = 0;
    ULONGLONG moved = GetTickCount64();
    bool closing = false;
    for (;;) {
        const ULONGLONG idle = GetTickCount64() - moved;
        if (idle >= limit) return WaitEnd::Stalled;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(250, limit - idle));
        const DWORD w = MsgWaitForMultipleObjectsEx(1, &done, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (w == WAIT_OBJECT_0) return WaitEnd::Done;
        if (w == WAIT_FAILED) return WaitEnd::Stalled;
        if (w == WAIT_OBJECT_0 + 1) {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (auto c = closeRequest(m)) {
                    later.push_back(*c);
                    closing = closing || endsTheStep(*c, stepWindow);
                    continue;
                }
                if (isUserInput(m)) {
                    if (answersDuringStep(m.hwnd, windows)) dispatchInput(m, windows);
                    continue;
                }
                if (waitsForTheStep(m)) {
                    later.push_back(m);
                    continue;
                }
                DispatchMessageW(&m);
            }
            if (closing) return WaitEnd::Closing;
        }
        const unsigned now = step.progress();
        if (now != seen || step.opaque()) {
            seen = now;
            moved = GetTickCount64();
        }
        if (report && step.bytes() != reported) {
            reported = step.bytes();
            report(reported, step.total());
        }
    }
}

void postAgain(const std::vector<MSG>& later) {
    for (const MSG& m : later) {
        if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
        else if (m.hwnd) PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
        else PostThreadMessageW(GetCurrentThreadId(), m.message, m.wParam, m.lParam);
    }
}

namespace {
FtpThreadStart g_threadStart = nullptr;
std::atomic<int> g_stallMs{kFtpStallMs};
}  // namespace

FtpThreadStart threadStart() { return g_threadStart; }

}  // namespace ftpwire

void setFtpThreadStart(FtpThreadStart start) { ftpwire::g_threadStart = start; }
void setFtpLimits(const FtpLimits& limits) { ftpwire::g_stallMs = limits.stallMs; }
FtpLimits ftpLimits() { return FtpLimits{ftpwire::g_stallMs.load()}; }

}  // namespace win32
