// The command-line runner against real processes. The runner under test
// takes its programs from a stand-in system folder whose cmd.exe is the
// logging stand-in, so its log shows exactly what it was given; a runner on
// the real system folder shows that nothing planted elsewhere is run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

const wchar_t* const kEnvNames[] = {L"KORVAN_STANDIN_LOG",  L"KORVAN_STANDIN_SLEEP_MS", L"KORVAN_STANDIN_EXIT",
                                    L"KORVAN_STANDIN_HOLD", L"KORVAN_STANDIN_DONE",     L"KORVAN_STANDIN_PIDS",
                                    L"KORVAN_STANDIN_CHILD"};

// Whether the process of this id has ended (or is unknown by now).
bool processGone(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return true;
    const bool gone = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

std::vector<DWORD> pidsIn(const std::string& text) {
    std::vector<DWORD> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t nl = text.find('\n', at);
        out.push_back(static_cast<DWORD>(std::stoul(text.substr(at, nl - at))));
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    return out;
}

class RunnerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_FALSE(readAll(binaryDir() + L"\\standin.exe").empty()) << "standin.exe must lie beside the test binary";
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

    win32::Win32Runner runner{wintest::standinSystemFolder()};
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
        EXPECT_EQ(rec.name, "cmd");  // the stand-in system folder's cmd.exe
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

TEST_F(RunnerTest, WaitThatRunsOutEndsTheWholeTreeBeforeItReturns) {
    // The stand-in starts a child; the child holds, and so does the first
    // unless `firstEnds`. The bound is to pass while both run, but two
    // process starts can take longer than it on a busy machine: a run whose
    // bound passed before the child had written its id shows nothing, and
    // is made again with twice the bound (below the stand-ins' own 10 s).
    int runs = 0;
    auto runOut = [&](bool pump, bool firstEnds) {
        for (std::uint32_t bound = 1500;; bound *= 2) {
            SCOPED_TRACE("bound " + std::to_string(bound) + " ms");
            const std::wstring pids = path(L"pids" + std::to_wstring(runs)), done = path(L"done" + std::to_wstring(runs));
            ++runs;
            setEnv(L"KORVAN_STANDIN_PIDS", pids);
            setEnv(L"KORVAN_STANDIN_DONE", done);
            if (firstEnds) SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", nullptr);
            else setEnv(L"KORVAN_STANDIN_HOLD", path(L"never"));
            setEnv(L"KORVAN_STANDIN_CHILD", path(L"never"));
            RunOptions o;
            o.wait = true;
            o.timeoutMs = bound;
            o.pumpMessages = pump;
            const auto r = runner.run("cmd /c devcon disable =net", o);
            EXPECT_TRUE(r.started);
            EXPECT_FALSE(r.finished) << "returned as finished while the child still ran";
            // What was started is gone now, ended by the runner: none gave up
            // holding (exit code 124) on its own.
            const std::vector<DWORD> started = pidsIn(readAll(pids));
            for (DWORD pid : started) EXPECT_TRUE(processGone(pid)) << pid;
            EXPECT_EQ(readAll(done).find("124"), std::string::npos) << "a process ended by itself, not by the runner";
            if (started.size() == 2) return;
            ASSERT_LT(bound, 6000u) << "the child never started in time: " << readAll(pids);
        }
    };
    for (bool pump : {false, true}) {
        SCOPED_TRACE(pump ? "pumping" : "blocking");
        runOut(pump, false);
    }
    // The first process ends at once, its child holds: the run is not over
    // while the child runs, and the child is ended at the bound.
    SCOPED_TRACE("the first ends at once");
    runOut(false, true);
}

TEST_F(RunnerTest, ProgramsComeFromTheSystemFolderOnlyAndDevconRunsStartThere) {
    // Stand-ins planted beside this binary and in the current directory,
    // where a bare "cmd" used to be found first.
    const std::wstring planted = binaryDir() + L"\\cmd.exe";
    ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), planted.c_str(), FALSE));
    for (const wchar_t* name : {L"cmd.exe", L"devcon.exe", L"mstsc.exe"})
        ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), path(name).c_str(), FALSE));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(m_dir.c_str()));

    win32::Win32Runner system;   // the real system folder
    RunOptions o;
    o.wait = true;
    o.mode = WindowMode::Hidden;
    auto r = system.run("cmd /c exit 7", o);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 7u) << "the system's cmd ran the command";
    // Started in the system folder, cmd does not find the planted devcon.
    o.startInSystemFolder = true;
    r = system.run("cmd /c devcon disable \"=net\"", o);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, platform::kCommandNotFound) << "cmd's answer for an unknown command";
    o.startInSystemFolder = false;
    o.program = "mstsc.exe";
    system.run("mstsc /v:example.com", o);
    EXPECT_FALSE(fileExists(m_log)) << "a planted program ran: " << readAll(m_log);
    SetCurrentDirectoryW(old);
    DeleteFileW(planted.c_str());

    // A program name that is not a bare file name is refused.
    RunOptions plain;
    plain.wait = true;
    for (std::string_view name : {"..\\cmd.exe", "C:\\windows\\system32\\cmd.exe", "sub/cmd.exe", "", "."}) {
        plain.program = name;
        EXPECT_FALSE(runner.run("cmd /c exit 0", plain).started) << name;
    }
    EXPECT_FALSE(fileExists(m_log));
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

    // A quit request does not end the wait: the process runs to its end
    // (here released by the window's message), then the quit is handed
    // back to the caller's loop.
    const std::wstring hold2 = path(L"hold2");
    g_releaseFile = hold2;
    g_dispatched = 0;
    setEnv(L"KORVAN_STANDIN_HOLD", hold2);
    setEnv(L"KORVAN_STANDIN_EXIT", L"4");
    PostQuitMessage(9);
    PostMessageW(hwnd, WM_APP, 0, 0);
    r = runner.run("cmd /c devcon restart =net", o);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_EQ(g_dispatched, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    DestroyWindow(hwnd);
}

TEST_F(RunnerTest, CommandThatCannotStartReportsNotStarted) {
    RunOptions wait;
    wait.wait = true;
    for (RunOptions o : {RunOptions{}, wait}) {
        o.program = "korvan_no_such_program_4711.exe";
        EXPECT_FALSE(runner.run("korvan_no_such_program_4711 /x", o).started);
        o.program = "cmd.exe";
        EXPECT_FALSE(runner.run("", o).started);
        EXPECT_FALSE(runner.run(std::string_view("cmd\0 /c", 7), o).started);
    }
    EXPECT_FALSE(fileExists(m_log)) << "nothing may have been started";
}

}  // namespace
