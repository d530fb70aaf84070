// Test doubles of the FTP connection, the local disk and the pause. The
// server is a map of directories; every call is logged together with the
// status text the window showed at that moment, so a test sees whether the
// progress text came before the blocking call.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fakes.h"
#include "ftp/client.h"
#include "platform/ftp.h"
#include "platform/localdisk.h"
#include "platform/pause.h"
#include "platform/taskbar.h"

inline platform::DirEntry dirEntry(std::string name, platform::DateTime t = {2010, 6, 2, 12, 20, 7}) {
    return {std::move(name), platform::kAttrDirectory, 0, t};
}
inline platform::DirEntry fileEntry(std::string name, std::uint64_t size = 10,
                                    platform::DateTime t = {2010, 6, 2, 12, 20, 0}) {
    return {std::move(name), 0, size, t};
}

struct FakeFtp : platform::Ftp {
    // Directory path -> its entries in server order.
    std::map<std::string, std::vector<platform::DirEntry>> tree;
    std::string cwd = "/";
    bool connected = false;
    bool acceptLogin = true;
    std::set<std::string> refuse;      // "op name" pairs that fail, e.g. "rename old.txt"
    std::vector<std::string> calls;    // "op args"
    std::function<std::string()> statusNow;   // the window's status text at each call

    void log(std::string what) {
        if (statusNow) what += " @" + statusNow();
        calls.push_back(std::move(what));
    }
    std::string path(std::string_view name) const {
        if (name.starts_with('/')) return std::string(name);
        return cwd == "/" ? "/" + std::string(name) : cwd + "/" + std::string(name);
    }
    std::vector<platform::DirEntry>* here() {
        auto it = tree.find(cwd);
        return it == tree.end() ? nullptr : &it->second;
    }
    platform::DirEntry* find(std::string_view name) {
        if (auto* d = here())
            for (auto& e : *d)
                if (e.name == name) return &e;
        return nullptr;
    }

    struct Open {
        std::string server;
        std::optional<std::string> account, password;
        int port;
        bool passive;
    };
    std::vector<Open> opens;
    bool open(std::string_view server, const std::optional<std::string>& account,
              const std::optional<std::string>& password, int port, bool passive) override {
        log("open " + std::string(server));
        opens.push_back({std::string(server), account, password, port, passive});
        connected = acceptLogin;
        cwd = "/";
        return connected;
    }
    void close() override {
        log("close");
        connected = false;
    }
    bool isOpen() const override { return connected; }
    std::string currentDirectory() override { return connected ? cwd : std::string(); }
    bool setCurrentDirectory(std::string_view p) override {
        log("cd " + std::string(p));
        if (!connected || !tree.count(path(p))) return false;
        cwd = path(p);
        return true;
    }
    std::vector<platform::DirEntry> list(std::string_view pattern) override {
        log("list " + std::string(pattern));
        if (!connected || !here()) return {};
        if (pattern == "*.*") return *here();
        if (auto* e = find(pattern)) return {*e};
        return {};
    }
    bool step(const std::string& op, std::string_view name) {
        log(op + " " + std::string(name));
        return connected && !refuse.count(op + " " + std::string(name));
    }
    std::set<std::string> unfit;   // names that do not fit the connection's encoding
    bool fits(std::string_view name) override { return !unfit.count(std::string(name)); }
    ui::Form* stepWindow = nullptr;
    void setStepWindow(ui::Form* w) override { stepWindow = w; }
    // What a transfer reports while it runs: (bytes moved, size) pairs.
    Progress progress;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> moves;
    void setProgress(Progress p) override { progress = std::move(p); }
    void report() {
        if (progress)
            for (auto [done, total] : moves) progress(done, total);
    }
    std::map<std::string, std::string> downloaded;   // local name -> remote path
    bool get(std::string_view remote, std::string_view local) override {
        report();
        if (!step("get", remote) || !find(remote)) return false;
        downloaded[std::string(local)] = path(remote);
        return true;
    }
    bool put(std::string_view local, std::string_view remote) override {
        report();
        if (!step("put", remote)) return false;
        if (!find(remote)) here()->push_back(fileEntry(std::string(remote)));
        return true;
    }
    bool removeFile(std::string_view name) override {
        if (!step("delete", name) || !find(name)) return false;
        std::erase_if(*here(), [&](auto& e) { return e.name == name; });
        return true;
    }
    bool rename(std::string_view from, std::string_view to) override {
        if (!step("rename", from) || !find(from)) return false;
        find(from)->name = std::string(to);
        return true;
    }
    bool createDirectory(std::string_view name) override {
        if (!step("mkdir", name) || find(name)) return false;
        here()->push_back(dirEntry(std::string(name)));
        tree[path(name)];
        return true;
    }
    bool removeDirectory(std::string_view name) override {
        if (!step("rmdir", name) || !find(name)) return false;
        std::erase_if(*here(), [&](auto& e) { return e.name == name; });
        tree.erase(path(name));
        return true;
    }
};

// The taskbar button's progress, as calls: "state N", "value D/T".
struct FakeTaskbar : platform::Taskbar {
    std::vector<std::string> calls;
    void setState(ui::Form&, platform::TaskbarState state) override {
        calls.push_back("state " + std::to_string(static_cast<int>(state)));
    }
    void setValue(ui::Form&, std::uint64_t done, std::uint64_t total) override {
        calls.push_back("value " + std::to_string(done) + "/" + std::to_string(total));
    }
};

// A local disk of directories by full path ("C:\", "C:\work").
struct FakeDisk : platform::LocalDisk {
    std::map<std::string, std::vector<platform::DirEntry>> dirs;
    std::map<char, std::string> driveDirs{{'C', "C:\\"}};   // each drive's own current directory
    char drive = 'C';
    std::vector<std::string>* ops = nullptr;   // shared log, when set
    std::vector<std::string> own;
    std::map<std::string, std::string> written;
    bool canHold = true;

    std::vector<std::string>& log() { return ops ? *ops : own; }
    std::string currentDirectory() override { return driveDirs[drive]; }
    bool setCurrentDirectory(std::string_view p) override {
        log().push_back("chdir " + std::string(p));
        std::string target(p);
        std::string cur = driveDirs[drive];
        if (target == "\\") target = std::string(1, drive) + ":\\";
        else if (target.ends_with("\\..")) {
            std::string base = target.substr(0, target.size() - 3);
            if (base.size() > 3) base = base.substr(0, base.rfind('\\'));
            if (base.size() == 2) base += "\\";
            target = base;
        }
        if (!dirs.count(target)) return false;
        driveDirs[drive] = target;
        return true;
    }
    bool setCurrentDrive(char letter) override {
        log().push_back(std::string("drive ") + letter);
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        if (!driveDirs.count(letter)) return false;
        drive = letter;
        return true;
    }
    std::vector<platform::DirEntry> list() override { return dirs[driveDirs[drive]]; }

    struct Held : platform::HeldFile {
        std::vector<std::string>& log;
        explicit Held(std::vector<std::string>& l) : log(l) {}
        ~Held() override { log.push_back("release"); }
    };
    std::unique_ptr<platform::HeldFile> holdOpen(std::string_view p) override {
        log().push_back("hold " + std::string(p));
        if (!canHold) return nullptr;
        return std::make_unique<Held>(log());
    }
    MemoryFiles* files = nullptr;   // writes land here
    bool writeShared(std::string_view p, std::string_view bytes) override {
        log().push_back("write " + std::string(p));
        if (files) files->files[std::string(p)] = std::string(bytes);
        return true;
    }
};

struct RecordingPause : platform::Pause {
    std::vector<std::string>* ops = nullptr;
    std::vector<int> waits;
    std::function<void()> during;   // what the user does while it waits
    void pause(int ms) override {
        waits.push_back(ms);
        if (ops) ops->push_back("pause " + std::to_string(ms));
        if (during) during();
    }
};

// Everything the FTP client needs, wired together.
struct FtpTestServices : TestServices {
    FakeFtp ftp;
    FakeDisk disk;
    RecordingPause pause;
    FakeTaskbar taskbar;
    ftp::FtpServices ftpServices{windows, dialogs, system, files, ftp, disk, pause, &taskbar};
    FtpTestServices() {
        disk.files = &files;
        disk.ops = &files.ops;
        pause.ops = &files.ops;
    }
};
