// Test doubles of the platform services.
#pragma once

#include "platform/devices.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/runner.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tasks.h"
#include "memory_registry.h"
#include "shell/services.h"
#include "ui/memory_form.h"

struct RecordingRunner : platform::Runner {
    struct Call {
        std::string commandLine;
        platform::RunOptions options;
    };
    std::vector<Call> calls;
    platform::RunResult result{true, true, 0};
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override {
        calls.push_back({std::string(commandLine), options});
        return result;
    }
};

struct ScriptedDialogs : platform::Dialogs {
    struct Shown {
        std::string text, title;
        platform::Icon icon;
        platform::Buttons buttons;
        int defaultButton;
    };
    std::vector<Shown> shown;
    std::vector<platform::Answer> answers;   // consumed in order; Ok when empty
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        shown.push_back({std::string(s.text), std::string(s.title), s.icon, s.buttons, s.defaultButton});
        if (answers.empty()) return platform::Answer::Ok;
        auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    // Input boxes: what was asked, and the replies in order (cancel when empty).
    std::vector<std::string> inputPrompts;   // "title|prompt|initial"
    std::vector<std::optional<std::string>> inputs;
    std::optional<std::string> inputBox(std::string_view title, std::string_view prompt,
                                        std::string_view initial) override {
        inputPrompts.push_back(std::string(title) + "|" + std::string(prompt) + "|" + std::string(initial));
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.erase(inputs.begin());
        return a;
    }
};

struct FakeSystem : platform::System {
    std::string host = "testhost";
    std::string dir = "C:\\tool";
    std::string hostName() override { return host; }
    std::string programDirectory() override { return dir; }
};

struct MemoryFiles : platform::Files {
    std::map<std::string, std::string> files;
    std::map<std::string, std::uint32_t> attributes;
    std::vector<std::string> ops;   // "write path", "attr path 2", "remove path"
    bool exists(std::string_view p) override { return files.count(std::string(p)) != 0; }
    bool write(std::string_view p, std::string_view bytes) override {
        ops.push_back("write " + std::string(p));
        files[std::string(p)] = std::string(bytes);
        return true;
    }
    std::optional<std::string> read(std::string_view p) override {
        auto it = files.find(std::string(p));
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool setAttributes(std::string_view p, std::uint32_t a) override {
        ops.push_back("attr " + std::string(p) + " " + std::to_string(a));
        if (!exists(p)) return false;
        attributes[std::string(p)] = a;
        return true;
    }
    bool remove(std::string_view p) override {
        ops.push_back("remove " + std::string(p));
        return files.erase(std::string(p)) != 0;
    }
};

struct RecordingShell : platform::Shell {
    std::vector<std::string> opened;
    bool open(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
};

struct RecordingClipboard : platform::Clipboard {
    std::vector<std::string> texts;   // every text put on the clipboard
    bool setText(std::string_view utf8) override {
        texts.emplace_back(utf8);
        return true;
    }
};

// A browser that records what it is asked and moves its unit as the real one
// does.
struct RecordingBrowser : platform::Browser {
    ui::Form& form;
    std::string unit;
    std::vector<std::string> navigations;
    RecordingBrowser(ui::Form& f, std::string_view u) : form(f), unit(u) {}
    bool navigate(std::string_view address) override {
        navigations.emplace_back(address);
        return true;
    }
    void setTop(int top) override {
        ui::Rect r = form.rect(unit);
        r.top = top;
        form.setRect(unit, r);
    }
};

struct RecordingBrowsers : platform::Browsers {
    std::vector<RecordingBrowser*> attached;   // owned by whoever attached them
    std::unique_ptr<platform::Browser> attach(ui::Form& form, std::string_view unit) override {
        auto b = std::make_unique<RecordingBrowser>(form, unit);
        attached.push_back(b.get());
        return b;
    }
};

// Pages by URL; a URL without a page fails. Records every GET started, in
// order, and how many results were taken.
struct ScriptedHttp : platform::HttpGet {
    std::map<std::string, platform::Fetched> pages;
    std::vector<std::string> started;
    int taken = 0;
    // Starts and takes in the order they happened: "start URL", "take URL".
    std::vector<std::string> events;
    void page(const std::string& url, std::string body) {
        pages[url] = {platform::FetchEnd::Complete, std::move(body)};
    }
    struct Pending : platform::PendingGet {
        ScriptedHttp& owner;
        std::string url;
        platform::Fetched result;
        Pending(ScriptedHttp& o, std::string u, platform::Fetched r)
            : owner(o), url(std::move(u)), result(std::move(r)) {}
        platform::Fetched take() override {
            ++owner.taken;
            owner.events.push_back("take " + url);
            return result;
        }
    };
    std::unique_ptr<platform::PendingGet> start(std::string_view url) override {
        started.emplace_back(url);
        events.push_back("start " + std::string(url));
        auto it = pages.find(std::string(url));
        return std::make_unique<Pending>(*this, std::string(url), it == pages.end() ? platform::Fetched{} : it->second);
    }
};

// Answers every request with `reply`, recording what was asked.
struct RecordingTransport : platform::HttpTransport {
    struct Request {
        std::string agent, proxy, host, method, path, headers, body;
        int port;
    };
    struct SetCookie {
        std::string url, name, value;
        bool operator==(const SetCookie&) const = default;
    };
    std::vector<Request> requests;
    std::vector<SetCookie> cookies;
    int pumps = 0;
    platform::HttpReply reply;
    platform::HttpReply exchange(const platform::HttpExchange& r) override {
        requests.push_back({std::string(r.agent), std::string(r.proxy), std::string(r.host), std::string(r.method),
                            std::string(r.path), std::string(r.headers), std::string(r.body), r.port});
        return reply;
    }
    void setCookie(std::string_view url, std::string_view name, std::string_view value) override {
        cookies.push_back({std::string(url), std::string(name), std::string(value)});
    }
    void letMessagesThrough() override { ++pumps; }
};

// Workers and timers. A job runs at once on the calling thread; what it
// posts runs at once too (the UI thread is free), or, with `queued`, waits
// for drain() (the UI thread is busy until then). Timers wait for fire().
struct FakeTasks : platform::Tasks {
    bool queued = false;
    int started = 0;
    std::vector<std::function<void()>> posted;
    std::vector<std::pair<unsigned, std::function<void()>>> timers;
    bool start(std::function<void(const Post&)> job) override {
        ++started;
        const Post post = [this](std::function<void()> f) {
            if (queued) posted.push_back(std::move(f));
            else f();
        };
        job(post);
        return true;
    }
    void after(unsigned ms, std::function<void()> then) override { timers.emplace_back(ms, std::move(then)); }
    void drain() {
        while (!posted.empty()) {
            auto f = std::move(posted.front());
            posted.erase(posted.begin());
            f();
        }
    }
    void fire() {
        auto due = std::move(timers);
        timers.clear();
        for (auto& [ms, then] : due) then();
    }
};

// Jobs on threads of their own, as the real service runs them; what they
// post waits until the test's thread (playing the window's) runs it.
struct ThreadTasks : platform::Tasks {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::function<void()>> posted;
    std::vector<std::thread> threads;
    ~ThreadTasks() { join(); }
    bool start(std::function<void(const Post&)> job) override {
        threads.emplace_back([this, job = std::move(job)] {
            job([this](std::function<void()> f) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    posted.push_back(std::move(f));
                }
                arrived.notify_all();
            });
        });
        return true;
    }
    void after(unsigned, std::function<void()>) override {}
    void join() {
        for (auto& t : threads)
            if (t.joinable()) t.join();
    }
    // Runs what was posted, in order, until `done` holds; false when it does
    // not within 20 s.
    bool runUntil(const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            std::function<void()> next;
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (!arrived.wait_until(lock, until, [this] { return !posted.empty(); })) return done();
                next = std::move(posted.front());
                posted.pop_front();
            }
            next();
        }
        return true;
    }
};

// Present network devices as listed; setEnabled records "disable ID" /
// "enable ID" and succeeds.
struct ListedDevices : platform::Devices {
    std::vector<platform::NetworkDevice> devices;
    std::vector<std::string> calls;
    std::vector<platform::NetworkDevice> present() override { return devices; }
    platform::DeviceChange setEnabled(std::string_view id, bool enable, unsigned) override {
        calls.push_back(std::string(enable ? "enable " : "disable ") + std::string(id));
        return platform::DeviceChange::Done;
    }
};

// All doubles together, wired into a Services record.
struct TestServices {
    ui::MemoryWindows windows;
    RecordingRunner runner;
    ScriptedDialogs dialogs;
    FakeSystem system;
    MemoryFiles files;
    RecordingShell shell;
    MemoryRegistry registry;
    ScriptedHttp http;
    RecordingTransport transport;
    shell::Services services{windows, runner, dialogs, system, files, shell, registry, http, transport};
    RecordingClipboard clipboard;
    RecordingBrowsers browsers;
    FakeTasks tasks;
    // The device of the first class key entry ("...\\0000").
    ListedDevices devices;
    TestServices() {
        devices.devices = {{"ROOT\\NET\\0000", "{4d36e972-e325-11ce-bfc1-08002be10318}\\0000"}};
        services.devices = &devices;
        services.clipboard = &clipboard;
        services.browsers = &browsers;
        services.tasks = &tasks;
    }
};
