#include <gtest/gtest.h>

#include <set>

#include "fakes.h"
#include "resources/layouts.h"
#include "shell/app.h"
#include "tools/console_runner.h"

using platform::WindowMode;
using ui::ScrollBars;

namespace {

constexpr const char* kBat = "C:\\dos.bat";
constexpr const char* kTxt = "C:\\dos.txt";

// Memory files that remember every batch written and can refuse writes and
// deletes, as a protected root of drive C or a locked file would.
struct ScratchFiles : MemoryFiles {
    std::vector<std::string> batches;   // bytes of each write to C:\dos.bat
    std::set<std::string, std::less<>> unwritable, undeletable;
    bool write(std::string_view p, std::string_view bytes) override {
        if (unwritable.count(p)) {
            ops.push_back("write " + std::string(p) + " refused");
            return false;
        }
        if (p == kBat) batches.emplace_back(bytes);
        return MemoryFiles::write(p, bytes);
    }
    bool remove(std::string_view p) override {
        if (undeletable.count(p)) {
            ops.push_back("remove " + std::string(p) + " refused");
            return false;
        }
        return MemoryFiles::remove(p);
    }
};

struct ConsoleRunner : ::testing::Test {
    ui::MemoryForm form{layouts::mainWindow()};
    RecordingRunner runner;
    ScratchFiles files;
    RecordingClipboard clipboard;
    tools::ScratchRecord record;
    void SetUp() override { tools::bindConsoleRunner(form, runner, files, &clipboard, record); }
    void run() { form.click("超级按钮1"); }
};

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST_F(ConsoleRunner, UntouchedHelpTextIsStartedWholeAndItsBatchFileComesAndGoes) {
    run();
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k " + std::string(layouts::kRunnerHelp));
    EXPECT_FALSE(runner.calls[0].options.wait);
    EXPECT_EQ(runner.calls[0].options.mode, WindowMode::Normal);
    // The system's cmd.exe, in the program's current directory.
    EXPECT_EQ(runner.calls[0].options.program, "cmd.exe");
    EXPECT_FALSE(runner.calls[0].options.startInSystemFolder);

    // Written, hidden, then removed; the output file was never ours.
    EXPECT_EQ(files.ops, (std::vector<std::string>{"write C:\\dos.bat", "attr C:\\dos.bat 2", "remove C:\\dos.bat"}));
    EXPECT_TRUE(files.files.empty());
    EXPECT_TRUE(record.written.empty());
    // GBK bytes: the six lines, then the redirection, no line break after it
    // ("】" is A1 BF in GBK).
    ASSERT_EQ(files.batches.size(), 1u);
    EXPECT_EQ(files.batches[0].rfind("\xC7\xEB\xD6\xB1\xBD\xD3", 0), 0u);   // 请直接
    EXPECT_TRUE(endsWith(files.batches[0], "\xA1\xBF >  c:\\dos.txt"));

    // The box keeps its text and now scrolls.
    EXPECT_EQ(form.text("编辑框2"), layouts::kRunnerHelp);
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
}

TEST_F(ConsoleRunner, CommandIsUsedExactlyAsTyped) {
    form.setText("编辑框2", "  echo 中文 & dir\r\nver ");
    run();
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k   echo 中文 & dir\r\nver ");
    ASSERT_EQ(files.batches.size(), 1u);
    EXPECT_EQ(files.batches[0], "  echo \xD6\xD0\xCE\xC4 & dir\r\nver  >  c:\\dos.txt");
}

TEST_F(ConsoleRunner, EmptyBoxGetsTheNoticeAndNothingRuns) {
    form.setText("编辑框2", "");
    run();
    EXPECT_EQ(form.text("编辑框2"), "[系统提示：] 请输入完整的DOS命令，再进行执行操作！");
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_TRUE(files.ops.empty());
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::None);
    // The notice itself is a command for the next press.
    run();
    EXPECT_EQ(runner.calls.size(), 1u);
}

TEST_F(ConsoleRunner, ScrollBarGoesOnlyWhenTheBoxBecomesEmpty) {
    run();
    ASSERT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
    form.setText("编辑框2", "dir");
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
    form.click("超级按钮3");
    EXPECT_EQ(form.text("编辑框2"), "");
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::None);

    form.setText("编辑框2", "dir");
    run();
    form.fire("编辑框2", ui::Event::MouseDown);
    EXPECT_EQ(form.text("编辑框2"), "");
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::None);
}

TEST_F(ConsoleRunner, EveryClickIntoTheBoxEmptiesIt) {
    form.fire("编辑框2", ui::Event::MouseDown);
    EXPECT_EQ(form.text("编辑框2"), "");
    form.type("编辑框2", "ipconfig /all");
    form.fire("编辑框2", ui::Event::MouseDown);
    EXPECT_EQ(form.text("编辑框2"), "");
}

TEST_F(ConsoleRunner, CopyPutsTheWholeBoxOnTheClipboardEvenWhenEmpty) {
    form.click("超级按钮2");
    form.setText("编辑框2", "");
    form.click("超级按钮2");
    EXPECT_EQ(clipboard.texts, (std::vector<std::string>{std::string(layouts::kRunnerHelp), ""}));
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(ConsoleRunner, CopyWithoutAClipboardDoesNothing) {
    ui::MemoryForm other{layouts::mainWindow()};
    tools::bindConsoleRunner(other, runner, files, nullptr, record);
    other.click("超级按钮2");
    EXPECT_EQ(other.text("编辑框2"), layouts::kRunnerHelp);
}

TEST_F(ConsoleRunner, ScratchFilesOfSomeoneElseAreNeverReplacedOrDeleted) {
    files.files[kBat] = "their batch";
    files.files[kTxt] = "their output";
    form.setText("编辑框2", "dir");
    run();
    // The command still starts; no batch file is written over theirs.
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k dir");
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
    EXPECT_TRUE(files.batches.empty());
    tools::cleanUpScratch(files, record);
    EXPECT_EQ(files.files[kBat], "their batch");
    EXPECT_EQ(files.files[kTxt], "their output");
    EXPECT_TRUE(files.ops.empty());
    EXPECT_TRUE(record.written.empty());
}

TEST_F(ConsoleRunner, OwnBatchThatCouldNotBeDeletedIsReplacedAndRemovedLater) {
    files.undeletable.insert(kBat);
    form.setText("编辑框2", "dir");
    run();
    EXPECT_EQ(files.files[kBat], "dir >  c:\\dos.txt");
    EXPECT_EQ(record.written.count(kBat), 1u);

    // The next run replaces its own leftover.
    form.setText("编辑框2", "ver");
    run();
    EXPECT_EQ(files.files[kBat], "ver >  c:\\dos.txt");
    EXPECT_EQ(files.batches.size(), 2u);

    // Once the file can go, the clean-up on close removes it.
    files.undeletable.clear();
    tools::cleanUpScratch(files, record);
    EXPECT_FALSE(files.exists(kBat));
    EXPECT_TRUE(record.written.empty());
    // A file that shows up later under the name is no longer ours.
    files.files[kBat] = "new owner";
    tools::cleanUpScratch(files, record);
    EXPECT_EQ(files.files[kBat], "new owner");
}

TEST_F(ConsoleRunner, UnwritableRootStillStartsTheCommand) {
    files.unwritable.insert(kBat);
    form.setText("编辑框2", "dir");
    run();
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
    // Nothing was written, so nothing is hidden or deleted.
    EXPECT_EQ(files.ops, (std::vector<std::string>{"write C:\\dos.bat refused"}));
    EXPECT_TRUE(record.written.empty());
}

TEST_F(ConsoleRunner, ConsoleThatFailsToStartStillCleansUp) {
    runner.result = {false, false, 0};
    form.setText("编辑框2", "dir");
    run();
    EXPECT_EQ(form.scrollBars("编辑框2"), ScrollBars::Vertical);
    EXPECT_FALSE(files.exists(kBat));
}

// Through the application: closing the main window removes what the runner
// left behind, leaves other files alone and is never refused.
TEST(ConsoleRunnerApp, ClosingTheMainWindowCleansUpOnlyOwnScratchFiles) {
    struct LockedFiles : MemoryFiles {
        bool locked = true;
        bool remove(std::string_view p) override { return !locked && MemoryFiles::remove(p); }
    } files;
    TestServices t;
    shell::Services services{t.windows, t.runner, t.dialogs, t.system, files, t.shell, t.registry, t.http, t.transport};
    shell::App app(services);
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    ASSERT_NE(main, nullptr);
    files.files[kTxt] = "their output";
    main->setText("编辑框2", "dir");
    main->click("超级按钮1");
    ASSERT_EQ(t.runner.calls.size(), 1u);
    ASSERT_TRUE(files.exists(kBat));   // the delete right after the run failed

    files.locked = false;
    main->close();
    EXPECT_TRUE(main->closed);
    EXPECT_FALSE(files.exists(kBat));
    EXPECT_EQ(files.files[kTxt], "their output");
}
