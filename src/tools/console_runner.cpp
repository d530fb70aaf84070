#include "tools/console_runner.h"

#include "platform/codec.h"

namespace tools {

namespace {

constexpr std::string_view kBox = "编辑框2";

// Writes the batch file unless a file of that name is there that this run
// did not write. A write that fails is ignored, as is the attribute change.
void writeBatch(platform::Files& files, ScratchRecord& record, std::string_view command) {
    const std::string path(kScratchBatch);
    const std::string bytes = codec::utf8ToGbk(batchText(command));
    const bool ours = record.written.count(path) != 0;
    const bool written = ours ? files.write(path, bytes) : files.createNew(path, bytes);
    if (written) {
        record.written.insert(path);
        files.setAttributes(path, platform::kAttrHidden);
    } else if (ours && !files.exists(path)) {
        record.written.erase(path);   // a failed replace took our old file with it
    }
}

void run(ui::Form& f, platform::Runner& runner, platform::Files& files, ScratchRecord& record) {
    const std::string command = f.text(kBox);
    if (command.empty()) {
        f.setText(kBox, kEmptyCommand);
        return;
    }
    writeBatch(files, record, command);
    // The console inherits the program's current directory, as the help
    // text tells the user.
    runner.run(consoleCommandLine(f.text(kBox)),
               {.wait = false, .mode = platform::WindowMode::Normal, .program = "cmd.exe"});
    f.setScrollBars(kBox, ui::ScrollBars::Vertical);
    cleanUpScratch(files, record);
}

}  // namespace

std::string batchText(std::string_view command) {
    std::string out(command);
    out += " >  c:\\dos.txt";
    return out;
}

std::string consoleCommandLine(std::string_view command) {
    std::string out = "cmd /k ";
    out += command;
    return out;
}

void cleanUpScratch(platform::Files& files, ScratchRecord& record) {
    // The output file is only ever named inside the batch file, which nobody
    // runs, so in practice the tool never writes it and never deletes it.
    for (std::string_view path : {kScratchOutput, kScratchBatch}) {
        auto it = record.written.find(path);
        if (it == record.written.end()) continue;
        files.remove(path);
        if (!files.exists(path)) record.written.erase(it);
    }
}

void bindConsoleRunner(ui::Form& f, platform::Runner& runner, platform::Files& files, platform::Clipboard* clipboard,
                       ScratchRecord& record) {
    using ui::Event;
    using ui::EventArgs;
    f.on("超级按钮1", Event::Click, [&f, &runner, &files, &record](EventArgs&) { run(f, runner, files, record); });
    f.on("超级按钮2", Event::Click, [&f, clipboard](EventArgs&) {
        if (clipboard) clipboard->setText(f.text(kBox));
    });
    f.on("超级按钮3", Event::Click, [&f](EventArgs&) { f.setText(kBox, ""); });
    f.on(kBox, Event::Changed, [&f](EventArgs&) {
        if (f.text(kBox).empty()) f.setScrollBars(kBox, ui::ScrollBars::None);
    });
    // Every press empties the box: the help text goes with the first click,
    // and so does whatever was typed before.
    f.on(kBox, Event::MouseDown, [&f](EventArgs&) { f.setText(kBox, ""); });
}

}  // namespace tools
