// The download component over WinINet against the package server: whole
// packages byte for byte, every way a transfer can go wrong, refusals, and
// a stop in the middle.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "package_server.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/update_win32.h"

namespace {

struct DownloaderTest : ::testing::Test {
    win32::Win32Downloader downloader;
    std::string base = served::base();
    std::string dir;
    std::string target;
    std::vector<platform::DownloadNotice> notices;
    std::vector<DWORD> threads;

    void SetUp() override {
        ASSERT_FALSE(base.empty()) << "package server not running";
        dir = served::scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        target = dir + "tarnel.zip";
        DeleteFileW(win32::widen(target).c_str());
        for (const std::string& part : served::partFiles(dir)) DeleteFileW(win32::widen(dir + part).c_str());
    }

    platform::DownloadTask task(const std::string& path) {
        platform::DownloadTask t;
        t.url = base + path;
        t.localFile = target;
        t.rateLimit = 999999999;
        t.connectTimeoutMs = 5000;
        t.sendTimeoutMs = 5001;
        t.receiveTimeoutMs = 10000;
        t.onStatus = [this](const platform::DownloadNotice& n) {
            notices.push_back(n);
            threads.push_back(GetCurrentThreadId());
            return 0;
        };
        return t;
    }
    bool ended() const { return !notices.empty() && notices.back().kind == platform::kStatusEnd; }
    // Runs a task to its end; returns the sums of the two counters polled on the way.
    std::pair<std::int64_t, std::int64_t> runToEnd(const platform::DownloadTask& t) {
        std::int64_t taskSum = 0, allSum = 0;
        EXPECT_TRUE(downloader.start(t));
        EXPECT_TRUE(served::pumpUntil([&] {
            taskSum += downloader.takeTaskBytes();
            allSum += downloader.takeAllBytes();
            return ended();
        }));
        taskSum += downloader.takeTaskBytes();
        allSum += downloader.takeAllBytes();
        return {taskSum, allSum};
    }
};

}  // namespace

TEST_F(DownloaderTest, WholePackageArrivesByteForByteWithItsCounters) {
    // What a killed earlier run left goes; a file of another name stays.
    for (const char* name : {"tarnel.zip.4242-7.part", "tarnel.zip.notes.part"})
        std::ofstream(win32::widen(dir + name).c_str()) << "left";
    const std::int64_t size = 5 * 1048576;
    auto [taskSum, allSum] = runToEnd(task("/whole/5242880/e/down/tarnel.zip"));
    EXPECT_EQ(served::partFiles(dir), std::vector<std::string>{"tarnel.zip.notes.part"});
    DeleteFileW(win32::widen(dir + "tarnel.zip.notes.part").c_str());
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].kind, platform::kStatusSize);
    EXPECT_EQ(notices[0].value, size);
    EXPECT_EQ(notices[1].kind, platform::kStatusEnd);
    EXPECT_TRUE(notices[1].ok);
    EXPECT_EQ(notices[1].value, size);
    // Notifications arrive on this (the creating) thread.
    for (DWORD t : threads) EXPECT_EQ(t, GetCurrentThreadId());

    const std::string bytes = served::readFile(target);
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), size);
    EXPECT_TRUE(served::matchesPattern(bytes));
    EXPECT_TRUE(served::partFiles(dir).empty());

    EXPECT_EQ(downloader.downloadedBytes(), size);   // kept after the end
    EXPECT_EQ(taskSum, size);
    EXPECT_EQ(allSum, size);
    EXPECT_EQ(downloader.takeTaskBytes(), 0);

    // A second task after the first: the counters start again.
    notices.clear();
    runToEnd(task("/whole/1000/e/down/tarnel.zip"));
    EXPECT_EQ(downloader.downloadedBytes(), 1000);
    EXPECT_EQ(served::readFile(target).size(), 1000u);
}

TEST_F(DownloaderTest, PackageWithoutLengthIsWholeButHasNoSizeNotice) {
    runToEnd(task("/nolength/70000/e/down/tarnel.zip"));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].ok);
    EXPECT_EQ(notices[0].value, 70000);
    EXPECT_EQ(served::readFile(target).size(), 70000u);
}

TEST_F(DownloaderTest, BrokenTransfersLeaveNothingAndKeepAnOlderFile) {
    const char* paths[] = {"/reset/2097152/300000/e/down/tarnel.zip", "/wronglength/5000/10000/e/down/tarnel.zip",
                           "/status/404/e/down/tarnel.zip", "/status/500/e/down/tarnel.zip"};
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        {
            std::ofstream old(win32::widen(target).c_str(), std::ios::binary);
            old << "older package";
        }
        notices.clear();
        runToEnd(task(path));
        ASSERT_FALSE(notices.empty());
        EXPECT_FALSE(notices.back().ok);
        EXPECT_EQ(served::readFile(target), "older package");
        EXPECT_TRUE(served::partFiles(dir).empty());
    }
    // An error page is never mistaken for the package's size.
    notices.clear();
    runToEnd(task("/status/404/x"));
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(DownloaderTest, RefusesWhatItCannotDo) {
    platform::DownloadTask upload = task("/whole/10/x");
    upload.kind = platform::kTaskUpload;
    EXPECT_FALSE(downloader.start(upload));

    platform::DownloadTask ftp = task("");
    ftp.url = "ftp://127.0.0.1/tarnel.zip";
    EXPECT_FALSE(downloader.start(ftp));
    platform::DownloadTask folder = task("/whole/10/x");
    folder.localFile = dir;   // ends with "\"
    EXPECT_FALSE(downloader.start(folder));
    folder.localFile = dir.substr(0, dir.size() - 1);   // an existing folder
    EXPECT_FALSE(downloader.start(folder));

    // One task at a time.
    notices.clear();
    EXPECT_TRUE(downloader.start(task("/trickle/200000/2000/50/x")));
    EXPECT_FALSE(downloader.start(task("/whole/10/x")));
    downloader.stop();
}

TEST_F(DownloaderTest, StopMidwayRemovesThePartialFileAndSilencesTheTask) {
    ASSERT_TRUE(downloader.start(task("/trickle/1048576/4096/50/e/down/tarnel.zip")));
    ASSERT_TRUE(served::pumpUntil([&] { return downloader.downloadedBytes() > 0; }));
    EXPECT_EQ(served::partFiles(dir).size(), 1u);
    downloader.stop();
    EXPECT_TRUE(served::partFiles(dir).empty());
    EXPECT_FALSE(served::exists(target));
    // Whatever was still queued is not delivered.
    served::pumpUntil([] { return false; }, 300);
    for (const auto& n : notices) EXPECT_NE(n.kind, platform::kStatusEnd);

    // The component takes the next task.
    notices.clear();
    runToEnd(task("/whole/4096/e/down/tarnel.zip"));
    ASSERT_FALSE(notices.empty());
    EXPECT_TRUE(notices.back().ok);
}

TEST_F(DownloaderTest, StopTwiceThenStartWhileTheOldWorkerStillRunsIsSafe) {
    // The old worker is held in its check (no stop wait) while the next
    // task writes to the same final name, and let go once that task has
    // written: it must not remove or replace anything of the new task's,
    // whose temporary file has a name of its own.
    // A downloader of its own, so the test can wait for the old worker.
    win32::UniqueHandle inCheck(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto own = std::make_unique<win32::Win32Downloader>();
    struct LetGo {   // however the test ends, the old worker goes before the component
        HANDLE go;
        ~LetGo() { SetEvent(go); }
    } letGo{go.get()};
    platform::DownloadTask held = task("/whole/70000/e/down/tarnel.zip");
    held.stopWaitMs = 0;
    held.verify = [&](const platform::Sha256&, std::string_view) {
        SetEvent(inCheck.get());
        WaitForSingleObject(go.get(), 60000);
        return true;
    };
    ASSERT_TRUE(own->start(held));
    ASSERT_TRUE(served::pumpUntil([&] { return WaitForSingleObject(inCheck.get(), 0) == WAIT_OBJECT_0; }));
    const std::vector<std::string> oldPart = served::partFiles(dir);
    ASSERT_EQ(oldPart.size(), 1u);
    own->stop();
    own->stop();   // a second stop is harmless
    EXPECT_TRUE(served::partFiles(dir).empty());
    notices.clear();
    ASSERT_TRUE(own->start(task("/trickle/400000/40000/50/e/down/tarnel.zip")));
    ASSERT_TRUE(served::pumpUntil([&] { return own->downloadedBytes() > 0; }, 15000));
    const std::vector<std::string> newPart = served::partFiles(dir);
    ASSERT_EQ(newPart.size(), 1u);
    EXPECT_NE(newPart, oldPart);
    SetEvent(go.get());
    ASSERT_TRUE(served::pumpUntil([&] { return ended(); }));
    EXPECT_TRUE(notices.back().ok);
    own->stop();
    own->stop();   // and after an ended task too
    own.reset();   // waits for the old worker
    const std::string bytes = served::readFile(target);
    EXPECT_EQ(bytes.size(), 400000u);
    EXPECT_TRUE(served::matchesPattern(bytes));
    EXPECT_TRUE(served::partFiles(dir).empty());
}

TEST_F(DownloaderTest, TheComponentGoesOnlyAfterAStoppedWorkerHasEnded) {
    // A worker stopped while it waits for data (the server sends 32 KiB
    // every 2 s) is not waited for by stop(), but the component's end
    // waits for it: nothing the task holds (here `alive`, standing for what
    // the program releases after the component) is used after that.
    auto own = std::make_unique<win32::Win32Downloader>();
    auto alive = std::make_shared<int>(0);
    platform::DownloadTask t = task("/trickle/1048576/32768/2000/e/down/tarnel.zip");
    t.stopWaitMs = 0;
    t.onMessage = [alive](std::string_view) { ++*alive; };
    ASSERT_TRUE(own->start(t));
    t.onMessage = nullptr;   // only the component's copy holds it now
    ASSERT_TRUE(served::pumpUntil([&] { return own->downloadedBytes() > 0; }));
    own->stop();
    EXPECT_GT(alive.use_count(), 1) << "the stopped worker still holds its task";
    own.reset();
    EXPECT_EQ(alive.use_count(), 1) << "a worker outlived the component";
    EXPECT_TRUE(served::partFiles(dir).empty());
}

TEST_F(DownloaderTest, ThePartFileCannotBeSwappedWhileItIsChecked) {
    // From the check's own callback, with the transfer whole: the file
    // cannot be written, renamed away, replaced or removed, and the file
    // kept is the one whose bytes were checked.
    const std::string decoy = dir + "decoy.zip";
    {
        std::ofstream out(win32::widen(decoy).c_str(), std::ios::binary);
        out << "not the package";
    }
    bool wrote = true, renamed = true, replaced = true, removed = true;
    platform::DownloadTask t = task("/whole/70000/e/down/tarnel.zip");
    t.verify = [&](const platform::Sha256&, std::string_view) {
        const std::vector<std::string> parts = served::partFiles(dir);
        if (parts.size() != 1) return false;
        const std::wstring p = win32::widen(dir + parts[0]);
        win32::UniqueHandle w(CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        wrote = static_cast<bool>(w);
        renamed = MoveFileExW(p.c_str(), win32::widen(dir + "moved.zip").c_str(), 0);
        replaced = MoveFileExW(win32::widen(decoy).c_str(), p.c_str(), MOVEFILE_REPLACE_EXISTING);
        removed = DeleteFileW(p.c_str());
        return true;
    };
    runToEnd(t);
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(renamed);
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(removed);
    ASSERT_FALSE(notices.empty());
    EXPECT_TRUE(notices.back().ok);
    const std::string bytes = served::readFile(target);
    EXPECT_EQ(bytes.size(), 70000u);
    EXPECT_TRUE(served::matchesPattern(bytes));
    EXPECT_EQ(served::readFile(decoy), "not the package");
    EXPECT_TRUE(served::partFiles(dir).empty());
}

TEST_F(DownloaderTest, TheTasksCheckDecidesBeforeTheRename) {
    // The check sees the SHA-256 of exactly the bytes written; when it says
    // no, the older file stays and nothing is left of the new one.
    platform::Sha256 seen{};
    bool answer = false;
    platform::DownloadTask t = task("/whole/70000/e/down/tarnel.zip");
    t.verify = [&](const platform::Sha256& d, std::string_view) {
        seen = d;
        return answer;
    };
    {
        std::ofstream old(win32::widen(target).c_str(), std::ios::binary);
        old << "older package";
    }
    runToEnd(t);
    ASSERT_FALSE(notices.empty());
    EXPECT_FALSE(notices.back().ok);
    EXPECT_EQ(served::readFile(target), "older package");
    EXPECT_TRUE(served::partFiles(dir).empty());
    // The first 70000 bytes of the pattern, hashed with python's hashlib.
    const platform::Sha256 expected = {0x76, 0x01, 0xaa, 0xf4, 0x69, 0x0e, 0x17, 0x9d, 0x19, 0xc0, 0xdc,
                                       0x8e, 0xc6, 0xba, 0x80, 0xe6, 0x3a, 0xf9, 0x6d, 0x3e, 0x59, 0x84,
                                       0xe3, 0x9f, 0xb3, 0x8f, 0xf7, 0xd9, 0x2e, 0xd7, 0x68, 0x32};
    EXPECT_EQ(seen, expected);

    // A check that throws on the worker is a failed task, not the end of
    // the process.
    platform::DownloadTask throwing = t;
    throwing.verify = [](const platform::Sha256&, std::string_view) -> bool { throw std::runtime_error("check failed"); };
    notices.clear();
    runToEnd(throwing);
    ASSERT_FALSE(notices.empty());
    EXPECT_FALSE(notices.back().ok);
    EXPECT_EQ(served::readFile(target), "older package");
    EXPECT_TRUE(served::partFiles(dir).empty());

    answer = true;
    notices.clear();
    runToEnd(t);
    ASSERT_FALSE(notices.empty());
    EXPECT_TRUE(notices.back().ok);
    EXPECT_EQ(served::readFile(target).size(), 70000u);
}
