#include "update/update_window.h"

#include "common/config.h"
#include "resources/layouts.h"
#include "update/statement.h"
#include "update/texts.h"

namespace update {

namespace {
constexpr std::string_view kBar = "进度条1";
constexpr std::string_view kShare = "标签进度";
constexpr std::string_view kSize = "标签大小";
constexpr std::string_view kTime = "标签时间";
constexpr std::string_view kSpeed = "标签速度";
constexpr std::string_view kButton1 = "按钮1";
constexpr std::string_view kButton2 = "按钮2";
constexpr std::string_view kTextTimer = "时钟1";
constexpr std::string_view kBarTimer = "时钟";
}  // namespace

UpdateWindow::UpdateWindow(UpdateServices& services, DownloadRecord& record, UpdateHooks hooks)
    : s_(services), r_(record), hooks_(std::move(hooks)) {}

void UpdateWindow::open(ui::Form* main) {
    if (form_) {
        form_->bringToFront();
        return;
    }
    using ui::Event;
    using ui::EventArgs;
    main_ = main;
    if (main_) main_->on("", Event::Destroyed, [this](EventArgs&) { main_ = nullptr; });

    form_ = s_.windows.create(layouts::updateWindow());
    form_->on(kButton1, Event::Click, [this](EventArgs&) { button1(); });
    form_->on(kButton2, Event::Click, [this](EventArgs&) { endProgram(); });
    form_->on(kBarTimer, Event::Tick, [this](EventArgs&) { barTick(); });
    form_->on(kTextTimer, Event::Tick, [this](EventArgs&) { textTick(); });
    form_->on("", Event::CanClose, [this](EventArgs&) { endProgram(); });
    form_->on("", Event::Destroyed, [this](EventArgs&) {
        endProgram();
        form_ = nullptr;
    });

    // What the window does when it is created: the download starts at once.
    prepare();
    button1();
    form_->setVisible("", true);
}

void UpdateWindow::prepare() {
    r_.packageUrl = config::updateBase() + std::string(kPackagePath);
    const std::string desktop = s_.desktop.desktopDirectory();
    r_.savePath = desktop.empty() ? std::string() : savePathFor(desktop);
}

void UpdateWindow::button1() {
    if (!form_) return;
    if (form_->text(kButton1) == kInstall) {
        s_.shell.open(r_.savePath);
        if (hooks_.scratchCleanup) hooks_.scratchCleanup();
        return;
    }

    platform::DownloadTask& t = r_.task;
    t = {};
    t.kind = platform::kTaskDownload;
    t.url = r_.packageUrl;
    t.localFile = r_.savePath;
    t.user.clear();
    t.password.clear();
    t.rateLimit = kRateLimit;
    t.connectTimeoutMs = kConnectTimeoutMs;
    t.sendTimeoutMs = kSendTimeoutMs;
    t.receiveTimeoutMs = kReceiveTimeoutMs;
    t.stopWaitMs = kStopWaitMs;
    t.blockSize = kBlockSize;
    t.onMessage = [](std::string_view) {};
    t.onStatus = [this](const platform::DownloadNotice& n) {
        onStatus(n);
        return 0;
    };
    // The statement comes the package's way (its proxy, agent, certificate
    // checks and limits) and is checked on the download's worker before the
    // rename: a package is kept only when the maker vouches for it as the
    // version announced, today. The version goes with the task as it is
    // now: whatever 编辑框4 says later does not change what is kept.
    t.signatureUrl = r_.packageUrl + std::string(kStatementSuffix);
    t.verify = [&check = s_.signatures, &calendar = s_.calendar,
                version = announcedVersion(main_ ? main_->text(kVersionStore) : std::string())](
                   const platform::Sha256& digest, std::string_view statement) {
        return statementVouches(statement, version, digest, calendar.todayUtc(), check);
    };
    r_.totalSize = 0;
    // Without a desktop folder there is nowhere to save the package.
    const bool started = !r_.savePath.empty() && s_.downloader.start(t);

    form_->setEnabled(kButton1, false);
    form_->setText(kSize, kConnecting);
    form_->setTimerPeriod(kTextTimer, 1000);
    form_->setTimerPeriod(kBarTimer, 50);
    r_.startTick = s_.clock.tickCount();
    if (!started) fail();
}

void UpdateWindow::onStatus(const platform::DownloadNotice& n) {
    if (!form_ || ending_) return;
    if (n.kind == platform::kStatusSize) {
        r_.totalSize = n.value;
        return;
    }
    if (n.kind != platform::kStatusEnd) return;
    if (!n.ok) {
        fail();
        return;
    }
    // The transfer says it is whole and signed; only a package of the
    // announced size is offered. One that came without a size cannot be checked: it is not
    // left lying on the desktop under the package's name.
    if (r_.totalSize <= 0 || s_.sizes.fileSize(r_.savePath) != r_.totalSize) {
        s_.files.remove(r_.savePath);
        fail();
        return;
    }
    form_->setText(kButton1, kInstall);
    form_->setEnabled(kButton1, true);
    button1();
}

void UpdateWindow::fail() {
    form_->setText(kSpeed, kFailed);
    form_->setTimerPeriod(kBarTimer, 0);
    form_->setTimerPeriod(kTextTimer, 0);
    form_->setEnabled(kButton1, false);
    if (s_.taskbar) s_.taskbar->setState(*form_, platform::TaskbarState::Error);
}

void UpdateWindow::barTick() {
    if (r_.totalSize != 0) form_->setPosition(kBar, barPosition(s_.downloader.downloadedBytes(), r_.totalSize));
    if (s_.taskbar) s_.taskbar->setValue(*form_, static_cast<std::uint64_t>(form_->position(kBar)), 1000);
    if (form_->position(kBar) >= 1000) {
        form_->setText(kShare, "");
        form_->setText(kSize, "");
        form_->setPosition(kBar, 1000);
        form_->setText(kSpeed, kFinished);
        form_->setText(kTime, "");
    }
}

void UpdateWindow::textTick() {
    if (form_->text(kSpeed) != kFinished) {
        if (r_.totalSize == 0) return;
        const std::int64_t done = s_.downloader.downloadedBytes();
        form_->setText(kShare, shareText(form_->position(kBar)));
        form_->setText(kSize, progressText(done, r_.totalSize));
        form_->setText(kSpeed, speedText(s_.downloader.takeTaskBytes()));
        const std::int64_t left = remainingSeconds(r_.totalSize, done, s_.downloader.takeAllBytes());
        if (left != 0) form_->setText(kTime, remainingText(left));
        return;
    }
    // Finished on the bar: the final texts once the file has the whole size.
    if (s_.sizes.fileSize(r_.savePath) != r_.totalSize) return;
    form_->setText(kSize, fileSizeText(r_.totalSize));
    form_->setText(kTime, elapsedText(s_.clock.tickCount() - r_.startTick));
    form_->setText(kShare, kDone);
    form_->setTimerPeriod(kBarTimer, 0);
    form_->setTimerPeriod(kTextTimer, 0);
}

void UpdateWindow::endProgram() {
    if (ending_) return;
    ending_ = true;
    // The transfer stops and its partial file goes before anything else.
    s_.downloader.stop();
    auto end = [this] {
        if (ui::Form* main = main_) {
            main_ = nullptr;
            main->close();
        }
        s_.process.exit(0);
    };
    // A running adapter apply ends first, or its adapter could stay disabled.
    if (hooks_.whenSettled) hooks_.whenSettled(end);
    else end();
}

}  // namespace update
