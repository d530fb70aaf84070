#include "tools/launchers.h"

namespace tools {

namespace {

constexpr std::string_view kHostBox = "编辑框1";
constexpr std::string_view kStatus = "状态标签";

// Starts a host-based tool: an empty host only shows the prompt; otherwise
// the command line is built from the box's text, untouched, and started
// without waiting, by the system folder's `program`. The status label is
// left as it was.
void launchForHost(ui::Form& f, platform::Runner& runner, std::string_view program, std::string_view prefix,
                   std::string_view suffix, std::string_view prompt) {
    if (f.text(kHostBox).empty()) {
        f.setText(kStatus, prompt);
        return;
    }
    std::string cmd(prefix);
    cmd += f.text(kHostBox);
    cmd += suffix;
    runner.run(cmd, {.wait = false, .mode = platform::WindowMode::Normal, .program = program});
}

}  // namespace

bool hostCharAllowed(int code) {
    return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') || (code >= '0' && code <= '9') ||
           code == '.' || code == 8;
}

std::string filterPastedHost(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != 8 && hostCharAllowed(static_cast<unsigned char>(c))) out.push_back(c);
    return out;
}

void bindLaunchers(ui::Form& f, platform::Runner& runner) {
    using ui::Event;
    using ui::EventArgs;
    f.on("按钮1", Event::Click, [&f, &runner](EventArgs&) { launchForHost(f, runner, "cmd.exe", "cmd /k ping ", " -t", kNeedHost); });
    f.on("按钮2", Event::Click,
         [&f, &runner](EventArgs&) { launchForHost(f, runner, "cmd.exe", "cmd /k tracert ", " -d", kNeedHost); });
    f.on("按钮6", Event::Click, [&f, &runner](EventArgs&) { launchForHost(f, runner, "mstsc.exe", "mstsc /v:", "", kNeedHostRemote); });
    f.on("按钮3", Event::Click, [&f, &runner](EventArgs&) {
        runner.run("cmd /c ipconfig /flushdns",
                   {.wait = false, .mode = platform::WindowMode::Hidden, .program = "cmd.exe"});
        f.setText(kStatus, kDnsFlushed);
    });

    f.on(kHostBox, Event::Char, [](EventArgs& e) { e.accept = hostCharAllowed(e.code); });
    f.on(kHostBox, Event::Paste, [](EventArgs& e) { e.text = filterPastedHost(e.text); });
    f.on(kHostBox, Event::MouseDown, [&f](EventArgs&) { f.setText(kHostBox, ""); });
}

}  // namespace tools
