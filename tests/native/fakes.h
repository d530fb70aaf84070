// Test doubles of the platform services.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/runner.h"
#include "platform/shell.h"
#include "platform/system.h"
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

// All doubles together, wired into a Services record.
struct TestServices {
    ui::MemoryWindows windows;
    RecordingRunner runner;
    ScriptedDialogs dialogs;
    FakeSystem system;
    MemoryFiles files;
    RecordingShell shell;
    shell::Services services{windows, runner, dialogs, system, files, shell};
};
