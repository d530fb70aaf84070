// The command-line runner against real processes: the stand-in program is
// copied beside this binary as cmd.exe, so a bare "cmd" starts it instead of
// the system's, and its log shows exactly what it was given.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/platform_win32.h"
#include "win_helpers.h"
#include "platform/win32/wide.h"

namespace {

using wintest::binaryDir;
using wintest::readAll;

using platform::RunOptions;
using platform::WindowMode;
using win32::narrow;
using win32::widen;

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Bounded wait for a file another process writes; false when it never came.
bool awaitFile(const std::wstring& path) {
    for (int i = 0; i < 1000 && !fileExists(path); ++i) Sleep(20);
    return fileExists(path);
}

void touch(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
}

// One stand-in log record: "name TAB sw=N TAB command line LF".
struct Record {
    std::string name, show, commandLine;
};

Record parseSingleRecord(const std::string& log) {
    Record r;
    const size_t t1 = log.find('\t');
    const size_t t2 = t1 == std::string::npos ? t1 : log.find('\t', t1 + 1);
    if (t2 == std::string::npos || log.empty() || log.back() != '\n') {
        ADD_FAILURE() << "not one stand-in record: [" << log << "]";
        return r;
    }
    r.name = log.substr(0, t1);
    r.show = log.substr(t1 + 1, t2 - t1 - 1);
    r.commandLine = log.substr(t2 + 1, log.size() - t2 - 2);
    return r;
}

const wchar_t* const kEnvNames[] = {L"KORVAN_STANDIN_LOG", L"KORVAN_STANDIN_SLEEP_MS", L"KORVAN_STANDIN_EXIT",
                                    L"KORVAN_STANDIN_HOLD", L"KORVAN_STANDIN_DONE"};

class RunnerTest : public ::testing::Test {
protected:
    // The copy stays in place afterwards: other test binaries in this
    // directory may be running the same stand-in under the same name.
    static void SetUpTestSuite() {
        const std::wstring dir = binaryDir();
        const std::string standin = readAll(dir + L"\\standin.exe");
        ASSERT_FALSE(standin.empty()) << "standin.exe must lie beside the test binary";
        if (readAll(dir + L"\\cmd.exe") != standin) {
            ASSERT_TRUE(CopyFileW((dir + L"\\standin.exe").c_str(), (dir + L"\\cmd.exe").c_str(), FALSE));
        }
    }

    void SetUp() override {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        static int counter = 0;
        m_dir = std::wstring(tmp) + L"korvan_runner_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter);
        ASSERT_TRUE(CreateDirectoryW(m_dir.c_str(), nullptr));
        for (const wchar_t* name : kEnvNames) SetEnvironmentVariableW(name, nullptr);
        useLog(L"standin.log");
    }

    void TearDown() override {
        for (const wchar_t* name : kEnvNames) SetEnvironmentVariableW(name, nullptr);
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((m_dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do DeleteFileW((m_dir + L"\\" + fd.cFileName).c_str());
            while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(m_dir.c_str());
    }

    std::wstring path(const std::wstring& name) const { return m_dir + L"\\" + name; }
    void useLog(const std::wstring& name) {
        m_log = path(name);
        SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", m_log.c_str());
    }
    void setEnv(const wchar_t* name, const std::wstring& value) { SetEnvironmentVariableW(name, value.c_str()); }
    Record record() const { return parseSingleRecord(readAll(m_log)); }

    win32::Win32Runner runner;
    std::wstring m_dir, m_log;
};

TEST_F(RunnerTest, EveryWindowModeReachesTheStartedProgram) {
    struct Case {
        WindowMode mode;
        int show;
    };
    const Case cases[] = {
        {WindowMode::Hidden, SW_HIDE},
        {WindowMode::Normal, SW_SHOWNORMAL},
        {WindowMode::Minimised, SW_SHOWMINIMIZED},
        {WindowMode::Maximised, SW_SHOWMAXIMIZED},
        {WindowMode::NormalNoActivate, SW_SHOWNOACTIVATE},
        {WindowMode::MinimisedNoActivate, SW_SHOWMINNOACTIVE},
    };
    for (const Case& c : cases) {
        const int mode = static_cast<int>(c.mode);
        SCOPED_TRACE("mode " + std::to_string(mode));
        useLog(L"mode" + std::to_wstring(mode) + L".log");
        RunOptions o;
        o.wait = true;
        o.mode = c.mode;
        const auto r = runner.run("cmd /k ping 10.0.0.1 -t", o);
        ASSERT_TRUE(r.started);
        ASSERT_TRUE(r.finished);
        const Record rec = record();
        EXPECT_EQ(rec.name, "cmd");  // found beside this binary, not the system's
        EXPECT_EQ(rec.show, "sw=" + std::to_string(c.show));
        EXPECT_EQ(rec.commandLine, "cmd /k ping 10.0.0.1 -t");
    }
}

TEST_F(RunnerTest, CommandLineArrivesByteForByte) {
    const std::string lines[] = {
        "cmd /k ping 中文主机.example -t",
        "cmd /c \"C:\\网络 工具\\dos.bat\"   \"quoted arg\"  trailing  ",
        "cmd /k echo 第一行\r\n第二行\nthird\tcolumn",
        "cmd",
    };
    int i = 0;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        useLog(L"line" + std::to_wstring(++i) + L".log");
        RunOptions o;
        o.wait = true;
        o.mode = WindowMode::Hidden;
        ASSERT_TRUE(runner.run(line, o).finished);
        EXPECT_EQ(record().commandLine, line);
    }
}

TEST_F(RunnerTest, WaitReturnsAfterTheProcessEndedWithItsExitCode) {
    for (bool pump : {false, true}) {
        SCOPED_TRACE(pump ? "pumping" : "blocking");
        const std::wstring done = path(pump ? L"done_pump" : L"done_block");
        setEnv(L"KORVAN_STANDIN_SLEEP_MS", L"300");
        setEnv(L"KORVAN_STANDIN_EXIT", pump ? L"42" : L"7");
        setEnv(L"KORVAN_STANDIN_DONE", done);
        RunOptions o;
        o.wait = true;
        o.pumpMessages = pump;
        const auto r = runner.run("cmd /c devcon restart =net", o);
        EXPECT_TRUE(r.started);
        EXPECT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, pump ? 42u : 7u);
        // Written just before the process exits: present means it ended.
        EXPECT_TRUE(fileExists(done));
    }
}

TEST_F(RunnerTest, WithoutWaitReturnsWhileTheProcessRuns) {
    const std::wstring hold = path(L"hold"), done = path(L"done");
    setEnv(L"KORVAN_STANDIN_HOLD", hold);
    setEnv(L"KORVAN_STANDIN_DONE", done);
    const auto r = runner.run("cmd /k ping 10.0.0.1 -t", RunOptions{});
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.finished);
    EXPECT_FALSE(fileExists(done)) << "the process cannot have ended before it was released";
    touch(hold);
    ASSERT_TRUE(awaitFile(done));
    EXPECT_EQ(readAll(done), "0\n") << "it ended because it was released, not because it gave up";
}

TEST_F(RunnerTest, WaitThatRunsOutReportsNotFinished) {
    for (bool pump : {false, true}) {
        SCOPED_TRACE(pump ? "pumping" : "blocking");
        const std::wstring hold = path(pump ? L"hold_pump" : L"hold_block");
        const std::wstring done = path(pump ? L"done_pump" : L"done_block");
        setEnv(L"KORVAN_STANDIN_HOLD", hold);
        setEnv(L"KORVAN_STANDIN_DONE", done);
        RunOptions o;
        o.wait = true;
        o.timeoutMs = 200;
        o.pumpMessages = pump;
        const auto r = runner.run("cmd /c devcon restart =net", o);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.finished);
        EXPECT_FALSE(fileExists(done));
        touch(hold);
        ASSERT_TRUE(awaitFile(done));
    }
}

// Messages posted to this thread's windows are dispatched while the runner
// waits: here the window procedure is what releases the waiting process.
std::wstring g_releaseFile;
int g_dispatched = 0;

LRESULT CALLBACK releasingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        ++g_dispatched;
        HANDLE f = CreateFileW(g_releaseFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST_F(RunnerTest, PumpingWaitDispatchesMessagesAndHandsBackQuit) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = releasingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KorvanRunnerTestWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);

    g_releaseFile = path(L"hold");
    g_dispatched = 0;
    setEnv(L"KORVAN_STANDIN_HOLD", g_releaseFile);
    setEnv(L"KORVAN_STANDIN_EXIT", L"3");
    PostMessageW(hwnd, WM_APP, 0, 0);
    RunOptions o;
    o.wait = true;
    o.pumpMessages = true;
    auto r = runner.run("cmd /c devcon restart =net", o);
    EXPECT_EQ(g_dispatched, 1);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 3u) << "124 means the stand-in gave up: the message was not dispatched";

    // A quit request ends the wait early and stays for the caller's loop.
    const std::wstring hold2 = path(L"hold2"), done2 = path(L"done2");
    setEnv(L"KORVAN_STANDIN_HOLD", hold2);
    setEnv(L"KORVAN_STANDIN_DONE", done2);
    PostQuitMessage(9);
    r = runner.run("cmd /c devcon restart =net", o);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.finished);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    touch(hold2);
    EXPECT_TRUE(awaitFile(done2));
    DestroyWindow(hwnd);
}

TEST_F(RunnerTest, CommandThatCannotStartReportsNotStarted) {
    RunOptions wait;
    wait.wait = true;
    for (const RunOptions& o : {RunOptions{}, wait}) {
        EXPECT_FALSE(runner.run("korvan_no_such_program_4711 /x", o).started);
        EXPECT_FALSE(runner.run("", o).started);
        EXPECT_FALSE(runner.run(std::string_view("cmd\0 /c", 7), o).started);
    }
    EXPECT_FALSE(fileExists(m_log)) << "nothing may have been started";
}

}  // namespace
