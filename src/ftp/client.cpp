#include "ftp/client.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "ftp/cipher.h"
#include "ftp/ini.h"
#include "ftp/listing.h"
#include "platform/codec.h"
#include "resources/layouts.h"

namespace ftp {

namespace {

// Units of the FTP window.
constexpr std::string_view kLocalList = "本地文件框";
constexpr std::string_view kRemoteList = "远程文件框";
constexpr std::string_view kLocalPath = "本地目录编辑框";
constexpr std::string_view kRemotePath = "远程目录编辑框";
constexpr std::string_view kDrives = "驱动器框1";
constexpr std::string_view kStatus = "状态标签";   // also the login panel's

// “name”, with the full-width quotation marks of the status texts.
std::string quoted(std::string_view name) { return "“" + std::string(name) + "”"; }

void status(ui::Form& f, std::string_view text) { f.setText(kStatus, text); }

// Status text shown at once, before a call that blocks the window.
void progress(ui::Form& f, std::string_view text) {
    f.setText(kStatus, text);
    f.repaint(kStatus);
}

bool askYes(platform::Dialogs& d, std::string_view question) {
    return d.messageBox({question, "询问", platform::Icon::Question, platform::Buttons::YesNo, 1}) ==
           platform::Answer::Yes;
}

void fill(ui::Form& w, std::string_view list, const std::vector<Row>& rows) {
    // Drawn once when filled, not after every item.
    w.setRedraw(list, false);
    for (const Row& r : rows) {
        const int i = w.addItem(list, r.title, r.value, r.value);
        // The last column first: a row's cells then grow once.
        if (!r.time.empty()) w.setItemText(list, i, 2, r.time);
        if (!r.size.empty()) w.setItemText(list, i, 1, r.size);
    }
    w.setRedraw(list, true);
}

// A transfer of more than 1 MiB on the FTP window's taskbar button while it
// runs: how far it is, or that it moves when the size is unknown. Cleared
// when it succeeds; a failure stays (error state) until the next transfer
// starts. `listed` is the size the window's list shows (0: none), used
// when the connection tells none.
class TaskbarProgress {
public:
    TaskbarProgress(ui::Form& w, FtpServices& s, std::uint64_t listed = 0) : w_(w), s_(s), listed_(listed) {
        if (!s_.taskbar) return;
        s_.taskbar->setState(w_, platform::TaskbarState::None);
        s_.ftp.setProgress([this](std::uint64_t done, std::uint64_t total) { show(done, total); });
    }
    ~TaskbarProgress() {
        if (s_.taskbar) s_.ftp.setProgress({});
    }
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // The transfer's outcome.
    bool end(bool ok) {
        if (s_.taskbar && shown_)
            s_.taskbar->setState(w_, ok ? platform::TaskbarState::None : platform::TaskbarState::Error);
        return ok;
    }

private:
    void show(std::uint64_t done, std::uint64_t total) {
        if (total == 0) total = listed_;
        if (total > platform::kTaskbarProgressFrom) {
            s_.taskbar->setValue(w_, done, total);
            shown_ = true;
        } else if (total == 0 && done > platform::kTaskbarProgressFrom && !shown_) {
            s_.taskbar->setState(w_, platform::TaskbarState::Indeterminate);
            shown_ = true;
        }
    }

    ui::Form& w_;
    FtpServices& s_;
    std::uint64_t listed_;
    bool shown_ = false;
};

// The size column of a list row as a number; 0 when it holds none.
std::uint64_t listedSize(std::string_view text) {
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || v > (UINT64_MAX - 9) / 10) return 0;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v;
}

// The selected item of a list: index, item value and title.
struct Selected {
    int index = -1;
    int value = 0;
    std::string name;
};

std::optional<Selected> selected(ui::Form& w, std::string_view list) {
    const int i = w.selection(list);
    if (i < 0) return std::nullopt;
    return Selected{i, w.itemValue(list, i), w.itemText(list, i, 0)};
}

}  // namespace

// --- the login panel -----------------------------------------------------------

FtpClient::FtpClient(FtpServices& services) : s_(services) {}
FtpClient::~FtpClient() {
    *alive_ = false;
    s_.ftp.setStepWindow(nullptr);
}

std::string FtpClient::configPath() const { return s_.system.programDirectory() + "\\Config.ini"; }

void FtpClient::bindLoginPanel(ui::Form& main) {
    main.on("登录按钮", ui::Event::Click, [this, &main](ui::EventArgs&) { login(main); });
    main.on("保存选择框", ui::Event::Click, [this, &main](ui::EventArgs&) { saveOrForget(main); });
    mainAlive_ = std::make_shared<bool>(true);
    main.on("", ui::Event::Destroyed, [alive = mainAlive_](ui::EventArgs&) { *alive = false; });
}

void FtpClient::loadSavedLogin(ui::Form& main) {
    const std::string path = configPath();
    config_ = s_.disk.holdOpen(path);
    if (!config_) return;
    const std::string file = s_.files.read(path).value_or(std::string());
    const std::string section = codec::utf8ToGbk(kSection);
    const std::pair<std::string_view, std::string_view> fields[] = {
        {kKeyAddress, "地址编辑框"}, {kKeyAccount, "用户编辑框"}, {kKeyPassword, "密码编辑框"}};
    for (auto [key, box] : fields) {
        const std::string stored = iniRead(file, section, codec::utf8ToGbk(key));
        main.setText(box, codec::gbkToUtf8(decipher(stored)));
    }
}

void FtpClient::saveOrForget(ui::Form& main) {
    const std::string path = configPath();
    const unsigned click = ++saveClicks_;
    if (!main.checked("保存选择框")) {
        config_.reset();
        s_.files.remove(path);
        return;
    }
    const std::shared_ptr<bool> alive = mainAlive_;
    s_.pause.pause(kSaveDelayMs);
    // Other clicks may have run during the pause: the last one decides (a
    // clear has deleted the file, a new tick saves after its own pause),
    // and a window that went away has no boxes to save.
    if (!*alive || click != saveClicks_ || !main.checked("保存选择框")) return;
    const std::string section = codec::utf8ToGbk(kSection);
    const std::pair<std::string_view, std::string_view> fields[] = {
        {"地址编辑框", kKeyAddress}, {"用户编辑框", kKeyAccount}, {"密码编辑框", kKeyPassword}};
    for (auto [box, key] : fields) {
        // One write per key, each over what the file holds now.
        const std::string file = s_.files.read(path).value_or(std::string());
        const std::string value = encipher(codec::utf8ToGbk(main.text(box)));
        s_.disk.writeShared(path, iniWrite(file, section, codec::utf8ToGbk(key), value));
    }
}

void FtpClient::login(ui::Form& main) {
    progress(main, "正在登录,请稍候...");
    const int port = parsePort(main.text("端口编辑框"));
    bool ok;
    if (main.checked("匿名登录选择框"))
        ok = s_.ftp.open(main.text("地址编辑框"), std::nullopt, std::nullopt, port, false);
    else
        ok = s_.ftp.open(main.text("地址编辑框"), main.text("用户编辑框"), main.text("密码编辑框"), port, false);
    if (!ok) {
        status(main, "登录FTP服务器失败!");
        return;
    }
    openWindow();
    status(main, "登陆成功!");
}

void FtpClient::openWindow() {
    // One FTP window: a further login brings it forward and lists the new
    // connection in it.
    if (ui::Form* open = *window_) {
        open->bringToFront();
        startFtpWindow(*open, s_);
        return;
    }
    ui::Form* w = s_.windows.create(layouts::ftpWindow());
    *window_ = w;
    // Only this window's close (or the end of the program) ends a step
    // under way; other windows' closes wait for it.
    s_.ftp.setStepWindow(w);
    bindFtpWindow(*w, s_);
    w->on("", ui::Event::Destroyed, [slot = window_, alive = alive_, &ftp = s_.ftp, w](ui::EventArgs&) {
        if (*slot != w) return;
        *slot = nullptr;
        if (*alive) ftp.setStepWindow(nullptr);
    });
    w->setVisible("", true);
    startFtpWindow(*w, s_);
}

// --- the FTP window --------------------------------------------------------------

void bindFtpWindow(ui::Form& w, FtpServices& s) {
    using ui::Event;
    using ui::EventArgs;
    w.setColumns(kLocalList, {{"文件名", 171}, {"尺寸", 50}, {"修改时间", 195}});
    w.setColumns(kRemoteList, {{"文件名", 171}, {"尺寸", 100}, {"修改时间", 145}});

    w.on(kDrives, Event::Selected, [&w, &s](EventArgs&) { changeDrive(w, s.disk); });
    w.on(kLocalList, Event::DoubleClick, [&w, &s](EventArgs&) { openLocal(w, s.disk); });
    w.on(kRemoteList, Event::DoubleClick, [&w, &s](EventArgs&) { openRemote(w, s.ftp); });
    w.on(kLocalPath, Event::Enter, [&w, &s](EventArgs& e) {
        s.disk.setCurrentDirectory(w.text(kLocalPath));
        listLocal(w, s.disk);
        e.accept = false;
    });
    w.on(kRemotePath, Event::Enter, [&w, &s](EventArgs& e) {
        s.ftp.setCurrentDirectory(w.text(kRemotePath));
        listRemote(w, s.ftp);
        e.accept = false;
    });
    w.on("下载按钮", Event::Click, [&w, &s](EventArgs&) { download(w, s); });
    w.on("上传按钮", Event::Click, [&w, &s](EventArgs&) { upload(w, s); });
    w.on("删除文件按钮", Event::Click, [&w, &s](EventArgs&) { deleteFile(w, s); });
    w.on("删除目录按钮", Event::Click, [&w, &s](EventArgs&) { deleteDirectory(w, s); });
    w.on("新建目录按钮", Event::Click, [&w, &s](EventArgs&) { newDirectory(w, s); });
    w.on("断开按钮", Event::Click, [&w, &s](EventArgs&) { disconnect(w, s.ftp); });
    w.on(kRemoteList, Event::LabelEdited,
         [&w, &s](EventArgs& e) { e.accept = renameEntry(w, s, e.index, e.text); });
}

void startFtpWindow(ui::Form& w, FtpServices& s) {
    changeDrive(w, s.disk);
    w.repaint(kLocalList);
    // A server that refuses "\" stays in the login directory.
    s.ftp.setCurrentDirectory("\\");
    listRemote(w, s.ftp);
    w.focus(kLocalList);
}

void listRemote(ui::Form& w, platform::Ftp& ftp) {
    w.clearItems(kRemoteList);
    progress(w, "正在获取目录列表,请稍候...");
    const std::vector<platform::DirEntry> entries = ftp.list("*.*");
    const std::string dir = ftp.currentDirectory();
    fill(w, kRemoteList, remoteRows(entries, dir));
    w.setText(kRemotePath, dir);
    status(w, "获取磁盘目录列表完毕");
}

void listLocal(ui::Form& w, platform::LocalDisk& disk) {
    w.clearItems(kLocalList);
    fill(w, kLocalList, localRows(disk.list()));
    w.setText(kLocalPath, disk.currentDirectory());
}

void changeDrive(ui::Form& w, platform::LocalDisk& disk) {
    const std::string drive = w.text(kDrives);
    if (!drive.empty()) disk.setCurrentDrive(drive.front());
    disk.setCurrentDirectory("\\");
    listLocal(w, disk);
}

void openLocal(ui::Form& w, platform::LocalDisk& disk) {
    const auto sel = selected(w, kLocalList);
    if (!sel || sel->value == kFile) return;
    std::string dir = disk.currentDirectory();
    if (!dir.ends_with('\\')) dir += '\\';
    disk.setCurrentDirectory(sel->value == kUpEntry ? dir + ".." : dir + sel->name);
    listLocal(w, disk);
}

void openRemote(ui::Form& w, platform::Ftp& ftp) {
    const auto sel = selected(w, kRemoteList);
    if (!sel || sel->value == kFile) return;
    std::string dir = ftp.currentDirectory();
    if (sel->value == kUpEntry) {
        const auto up = remoteParent(dir);
        if (!up) return;
        ftp.setCurrentDirectory(*up);
    } else {
        if (!dir.ends_with('/')) dir += '/';
        ftp.setCurrentDirectory(dir + sel->name);
    }
    listRemote(w, ftp);
}

void download(ui::Form& w, FtpServices& s) {
    const auto sel = selected(w, kRemoteList);
    if (!sel) return status(w, "未选中欲下载文件");
    if (sel->value != kFile) return status(w, "只能下载文件");
    const std::string& name = sel->name;
    const std::string failed = "下载文件" + quoted(name) + "失败";
    // A name from the server becomes a file here only when it names a plain
    // file of the current directory, nothing beside or above it.
    // Nor is anything written under a name the server's bytes did not give.
    if (!isPlainFileName(name) || !s.ftp.fits(name)) return status(w, failed);
    if (s.files.exists(name) && !askYes(s.dialogs, "文件" + quoted(name) + "已经存在,覆盖它吗?")) return;
    progress(w, "正在下载文件" + quoted(name) + ",请稍候...");
    TaskbarProgress bar(w, s, listedSize(w.itemText(kRemoteList, sel->index, 1)));
    if (!bar.end(s.ftp.get(name, name))) return status(w, failed);
    listLocal(w, s.disk);
    status(w, "下载文件" + quoted(name) + "成功");
}

void upload(ui::Form& w, FtpServices& s) {
    const auto sel = selected(w, kLocalList);
    if (!sel) return status(w, "未选中欲上传文件");
    if (sel->value != kFile) return status(w, "只能上传文件");
    const std::string& name = sel->name;
    // The server name is the local one in the connection's encoding.
    if (!s.ftp.fits(name)) return status(w, "上传文件" + quoted(name) + "失败!！");
    if (!s.ftp.list(name).empty() && !askYes(s.dialogs, "文件" + quoted(name) + "已经存在,覆盖它吗?")) return;
    progress(w, "正在上传文件" + quoted(name) + ",请稍候...");
    TaskbarProgress bar(w, s);
    if (!bar.end(s.ftp.put(name, name))) return status(w, "上传文件" + quoted(name) + "失败!！");
    listRemote(w, s.ftp);
    status(w, "上传" + quoted(name) + "成功!");
}

void deleteFile(ui::Form& w, FtpServices& s) {
    const auto sel = selected(w, kRemoteList);
    if (!sel) return status(w, "未选中欲删除文件");
    if (sel->value != kFile) return status(w, "只能删除文件");
    const std::string& name = sel->name;
    if (!s.ftp.fits(name)) return status(w, "删除文件" + quoted(name) + "失败");
    if (!askYes(s.dialogs, "您确认要删除FTP服务器上的文件" + quoted(name) + "吗?")) return;
    progress(w, "正在删除文件" + quoted(name) + ",请稍候...");
    if (!s.ftp.removeFile(name)) return status(w, "删除文件" + quoted(name) + "失败");
    listRemote(w, s.ftp);
    status(w, "删除文件" + quoted(name) + "成功");
}

void deleteDirectory(ui::Form& w, FtpServices& s) {
    const auto sel = selected(w, kRemoteList);
    if (!sel) return status(w, "未选中欲删除目录");
    if (sel->value != kDirectory) return status(w, "只能删除目录");
    const std::string& name = sel->name;
    if (!s.ftp.fits(name)) return status(w, "删除目录" + quoted(name) + "失败");
    if (!askYes(s.dialogs, "您确认要删除FTP服务器上的目录" + quoted(name) + "吗?")) return;
    progress(w, "正在删除目录" + quoted(name) + ",请稍候...");
    // One request: the server decides whether a directory with content goes.
    if (!s.ftp.removeDirectory(name)) return status(w, "删除目录" + quoted(name) + "失败");
    listRemote(w, s.ftp);
    status(w, "删除目录" + quoted(name) + "成功");
}

void newDirectory(ui::Form& w, FtpServices& s) {
    const auto typed = s.dialogs.inputBox("请输入名称:", "请输入欲在FTP服务器现行目录中新建的子目录名:", "");
    if (!typed || typed->empty()) return;
    const std::string& name = *typed;
    if (!s.ftp.fits(name)) return status(w, "创建新目录" + quoted(name) + "失败");
    progress(w, "正在创建新目录" + quoted(name) + ",请稍候...");
    if (!s.ftp.createDirectory(name)) return status(w, "创建新目录" + quoted(name) + "失败");
    listRemote(w, s.ftp);
    status(w, "创建新目录" + quoted(name) + "成功");
}

bool renameEntry(ui::Form& w, FtpServices& s, int index, std::string_view newTitle) {
    const std::string old = w.itemText(kRemoteList, index, 0);
    const std::string m = "更名" + quoted(old) + "到" + quoted(newTitle);
    if (!s.ftp.fits(old) || !s.ftp.fits(newTitle)) {
        status(w, m + "失败");
        return false;
    }
    progress(w, "正在" + m + ",请稍候...");
    const bool ok = s.ftp.rename(old, newTitle);
    status(w, m + (ok ? "成功" : "失败"));
    return ok;
}

void disconnect(ui::Form& w, platform::Ftp& ftp) {
    if (ftp.isOpen()) ftp.close();
    listRemote(w, ftp);
}

}  // namespace ftp
