// The console runner: any command typed into 编辑框2 is started in a console
// window of its own ("cmd /k"), which stays open for the user to read. Each
// run also writes the scratch batch file C:\dos.bat, which redirects the
// command's output to C:\dos.txt; neither is executed or read, and both go
// again right after the launch and when the main window closes.
//
// The scratch files sit at fixed paths that other programs or the user may
// use too, so the tool only ever replaces or deletes a scratch file it wrote
// itself during this run of the program: a file that was there before is
// left alone, and then no batch file is written.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/runner.h"
#include "ui/form.h"

namespace tools {

inline constexpr std::string_view kScratchBatch = "C:\\dos.bat";
inline constexpr std::string_view kScratchOutput = "C:\\dos.txt";
// Written into the box itself when 执行命令 finds it empty.
inline constexpr std::string_view kEmptyCommand = "[系统提示：] 请输入完整的DOS命令，再进行执行操作！";

// The scratch files this run of the program has written and not yet
// removed. Program-wide: the runner adds to it, the clean-up empties it.
struct ScratchRecord {
    std::set<std::string, std::less<>> written;
};

// The batch file's text for a command (UTF-8): the command, unchanged, then
// " >  c:\dos.txt", no line break at the end.
std::string batchText(std::string_view command);

// The console's command line: "cmd /k " + the command, unchanged (line
// breaks of a multi-line entry included).
std::string consoleCommandLine(std::string_view command);

// Deletes C:\dos.txt, then C:\dos.bat, each only when this run wrote it.
// Failures are ignored; a file that could not be deleted stays recorded so
// a later clean-up tries again. Called after every run, when the main window
// closes, and by the update window before the program ends.
void cleanUpScratch(platform::Files& files, ScratchRecord& record);

// Binds the runner's buttons and the box's events. The clipboard may be
// null: 复制结果 then does nothing. All references must outlive the form.
void bindConsoleRunner(ui::Form& main, platform::Runner& runner, platform::Files& files,
                       platform::Clipboard* clipboard, ScratchRecord& record);

}  // namespace tools
