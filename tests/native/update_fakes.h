// Test doubles of the services the update uses.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/downloader.h"
#include "platform/filesize.h"
#include "platform/process.h"
#include "platform/signature.h"
#include "update/update_window.h"

// A downloader whose counters and notifications the test plays.
struct ScriptedDownloader : platform::Downloader {
    std::vector<platform::DownloadTask> started;
    bool accept = true;
    std::int64_t downloaded = 0;
    std::deque<std::int64_t> taskBytes, allBytes;   // consumed per query; 0 when empty
    std::vector<std::string>* log = nullptr;

    bool start(const platform::DownloadTask& task) override {
        started.push_back(task);
        return accept;
    }
    std::int64_t downloadedBytes() override { return downloaded; }
    std::int64_t takeTaskBytes() override { return take(taskBytes); }
    std::int64_t takeAllBytes() override { return take(allBytes); }
    void stop() override {
        if (log) log->push_back("stop");
    }
    // Delivers a notification of the last started task, as the component
    // would on the UI thread.
    void notify(int kind, std::int64_t value, bool ok = false) {
        started.back().onStatus({kind, value, ok});
    }
    // Ends the last task as the component does after a clean transfer of
    // bytes whose hash is `digest`, with `signature` served at the task's
    // signature address: its check decides, then the end notice.
    void finish(std::int64_t bytes, const platform::Sha256& digest, std::string_view signature = {}) {
        const platform::DownloadTask& t = started.back();
        const bool kept = !t.verify || t.verify(digest, signature);
        verified.push_back(kept);
        notify(platform::kStatusEnd, bytes, kept);
    }
    std::vector<bool> verified;

private:
    static std::int64_t take(std::deque<std::int64_t>& q) {
        if (q.empty()) return 0;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

struct FakeDesktop : platform::Desktop {
    std::string dir = "C:\\Users\\a\\Desktop\\";
    std::string desktopDirectory() override { return dir; }
};

struct FakeClock : platform::Clock {
    std::int64_t now = 1000;
    std::int64_t tickCount() override { return now; }
};

struct FakeSizes : platform::FileSizes {
    std::map<std::string, std::int64_t> sizes;
    std::int64_t fileSize(std::string_view p) override {
        auto it = sizes.find(std::string(p));
        return it == sizes.end() ? -1 : it->second;
    }
};

struct RecordingProcess : platform::Process {
    std::vector<std::string>* log = nullptr;
    std::vector<int> exits;
    void exit(int code) override {
        exits.push_back(code);
        if (log) log->push_back("exit " + std::to_string(code));
    }
};

// A key that signs exactly one message with exactly one signature.
struct FakeSignatureCheck : platform::SignatureCheck {
    std::string message;
    platform::P256Signature signature{};
    bool verify(std::string_view m, const platform::P256Signature& s) const override {
        return m == message && s == signature;
    }
};

struct FakeCalendar : platform::Calendar {
    platform::Date today{2027, 6, 30};
    platform::Date todayUtc() override { return today; }
};

// Everything the update needs, wired together.
struct UpdateDoubles {
    TestServices t;
    ScriptedDownloader downloader;
    FakeDesktop desktop;
    FakeClock clock;
    FakeSizes sizes;
    RecordingProcess process;
    FakeSignatureCheck signatures;
    FakeCalendar calendar;
    update::UpdateServices services{t.windows, t.dialogs, t.shell, downloader, desktop,
                                    clock,     sizes,     t.files, process,    signatures, calendar};
};
