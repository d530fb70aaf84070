#include "dns/window.h"

#include <atomic>

#include "resources/layouts.h"

namespace dns {

namespace {
constexpr int kProgressMax = 1000;   // the bar's range in the layout: "0,1000"
constexpr int kWatchMs = 200;
}  // namespace

// One test: what the worker and the window share. The worker only reads
// `stop`; `window` is touched on the UI thread only, and is null once the
// window has let the test go (stopped, restarted or closed).
struct DnsWindow::Run {
    std::atomic<bool> stop{false};
    DnsWindow* window = nullptr;
};

std::string finishedText(std::int64_t micros) {
    if (micros < 0) micros = 0;
    const std::int64_t tenths = (micros + 50000) / 100000;
    return "测速完成，用时 " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " 秒";
}

std::vector<std::string> rowTexts(const Server& server, const Tally& tally) {
    const bool measured = tally.done > 0;
    return {server.name,
            server.shown(),
            measured ? medianText(tally.cached) : std::string(),
            measured ? medianText(tally.uncached) : std::string(),
            tally.counted > 0 ? lossText(tally) : std::string(),
            noteText(tally)};
}

std::string resultText(const std::vector<std::vector<std::string>>& rows) {
    std::string out;
    auto line = [&out](auto const& fields) {
        bool first = true;
        for (const auto& f : fields) {
            if (!first) out += '\t';
            out += f;
            first = false;
        }
        out += "\r\n";
    };
    line(kCaptions);
    for (const auto& r : rows) line(r);
    return out;
}

DnsWindow::DnsWindow(ui::Form& form, std::vector<Server> servers, DnsServices services)
    : form_(form), services_(std::move(services)) {
    list_.append(servers);
    tallies_.assign(list_.servers().size(), {});
    for (size_t i = 0; i < tallies_.size(); ++i) order_.push_back(static_cast<int>(i));

    static constexpr int kWidths[] = {120, 110, 70, 80, 50, 60};
    std::vector<ui::Column> columns;
    for (size_t i = 0; i < std::size(kCaptions); ++i) columns.push_back({std::string(kCaptions[i]), kWidths[i]});
    form_.setColumns(kList, columns);
    fillList();
    form_.setText(kStatus, "");
    form_.setPosition(kProgress, 0);

    using ui::Event;
    using ui::EventArgs;
    form_.on(kStartButton, Event::Click, [this](EventArgs&) {
        if (running()) stop();
        else start();
    });
    form_.on(kAddButton, Event::Click, [this](EventArgs&) { add(); });
    form_.on(kPreferredButton, Event::Click, [this](EventArgs&) { fillField(false); });
    form_.on(kAlternateButton, Event::Click, [this](EventArgs&) { fillField(true); });
    form_.on(kCopyButton, Event::Click, [this](EventArgs&) { copy(); });
    form_.on(kList, Event::Selected, [this](EventArgs&) { updateButtons(); });
    form_.on(kWatchTimer, Event::Tick, [this](EventArgs&) {
        if (services_.ownerShown && !services_.ownerShown()) {
            stop();
            form_.close();
            return;
        }
        updateButtons();
    });
    form_.on("", Event::CanClose, [this](EventArgs& e) {
        if (e.accept) stop();
    });
    form_.on("", Event::Destroyed, [this](EventArgs&) { stop(); });
    form_.setTimerPeriod(kWatchTimer, kWatchMs);
    updateButtons();
}

DnsWindow::~DnsWindow() {
    if (run_) {
        run_->stop = true;
        run_->window = nullptr;
    }
}

void DnsWindow::fillList() {
    const int selected = selectedRow();
    form_.setRedraw(kList, false);
    form_.clearItems(kList);
    int select = -1;
    for (int row : order_) {
        const int at = form_.addItem(kList, list_.servers()[row].name, row);
        if (row == selected) select = at;
        showRow(row);
    }
    form_.setRedraw(kList, true);
    form_.setSelection(kList, select);
}

void DnsWindow::showRow(int row) {
    int at = -1;
    for (size_t i = 0; i < order_.size(); ++i)
        if (order_[i] == row) at = static_cast<int>(i);
    if (at < 0) return;
    const auto texts = rowTexts(list_.servers()[row], tallies_[row]);
    for (size_t c = 1; c < texts.size(); ++c) form_.setItemText(kList, at, static_cast<int>(c), texts[c]);
}

int DnsWindow::selectedRow() const {
    const int at = form_.selection(kList);
    if (at < 0 || at >= form_.itemCount(kList)) return -1;
    return form_.itemValue(kList, at);
}

void DnsWindow::start() {
    if (run_) return;
    tallies_.assign(list_.servers().size(), {});
    order_.clear();
    for (size_t i = 0; i < tallies_.size(); ++i) order_.push_back(static_cast<int>(i));
    fillList();
    form_.setPosition(kProgress, 0);
    if (!services_.udp || !services_.tasks || list_.servers().empty()) {
        form_.setText(kStatus, services_.udp && services_.tasks ? "" : kNoNetwork);
        return;
    }
    std::vector<Target> targets;
    for (const Server& s : list_.servers()) targets.push_back(s.target());
    total_ = static_cast<int>(targets.size()) * kRounds;
    done_ = 0;

    auto run = std::make_shared<Run>();
    run->window = this;
    run_ = run;
    started_ = services_.udp->nowMicros();
    form_.setText(kStatus, kRunning);
    form_.setText(kStartButton, kStopCaption);
    updateButtons();

    platform::Udp* udp = services_.udp;
    const bool began = services_.tasks->start([run, udp, targets](const platform::Tasks::Post& post) {
        RunEnd end = RunEnd::NoNetwork;
        try {
            end = measure(*udp, targets, run->stop, [&](const Sample& s) {
                post([run, s] {
                    if (run->window) run->window->arrived(s);
                });
            });
        } catch (...) {
        }
        post([run, end] {
            if (run->window) run->window->ended(end == RunEnd::Stopped, end == RunEnd::NoNetwork);
        });
    });
    if (!began) ended(false, true);
}

void DnsWindow::arrived(const Sample& s) {
    if (s.target < 0 || s.target >= static_cast<int>(tallies_.size())) return;
    tallies_[s.target].add(s);
    ++done_;
    showRow(s.target);
    if (total_ > 0) form_.setPosition(kProgress, static_cast<int>(static_cast<long long>(done_) * kProgressMax / total_));
}

void DnsWindow::ended(bool stopped, bool noNetwork) {
    if (run_) {
        run_->stop = true;
        run_->window = nullptr;
        run_ = nullptr;
    }
    form_.setText(kStartButton, kStart);
    if (noNetwork) {
        form_.setText(kStatus, kNoNetwork);
        form_.setPosition(kProgress, 0);
    } else {
        form_.setText(kStatus, stopped ? std::string(kStopped) : finishedText(services_.udp->nowMicros() - started_));
        if (!stopped) form_.setPosition(kProgress, kProgressMax);
        order_ = sortedOrder(tallies_);
        // Rows added during the test keep their place after the others.
        fillList();
    }
    updateButtons();
}

void DnsWindow::stop() {
    if (run_) ended(true, false);
}

void DnsWindow::updateButtons() {
    const bool applying = services_.applyRunning && services_.applyRunning();
    const bool on = selectedRow() >= 0 && !applying && services_.fill;
    if (form_.enabled(kPreferredButton) != on) form_.setEnabled(kPreferredButton, on);
    if (form_.enabled(kAlternateButton) != on) form_.setEnabled(kAlternateButton, on);
}

void DnsWindow::add() {
    const std::string text = form_.text(kAddField);
    const std::string_view refusal = list_.add(text);
    if (!refusal.empty()) {
        form_.setText(kStatus, refusal);
        return;
    }
    const int row = static_cast<int>(list_.servers().size()) - 1;
    tallies_.push_back({});
    order_.push_back(row);
    form_.addItem(kList, list_.servers()[row].name, row);
    showRow(row);
    form_.setText(kAddField, "");
}

void DnsWindow::fillField(bool alternate) {
    updateButtons();
    const int row = selectedRow();
    if (row < 0 || !form_.enabled(alternate ? kAlternateButton : kPreferredButton)) return;
    services_.fill(alternate, list_.servers()[row].address);
}

void DnsWindow::copy() {
    if (!services_.clipboard) return;
    std::vector<std::vector<std::string>> rows;
    for (int row : order_) rows.push_back(rowTexts(list_.servers()[row], tallies_[row]));
    services_.clipboard->setText(resultText(rows));
}

DnsTest::~DnsTest() { close(); }

void DnsTest::open(ui::Form& owner, std::vector<Server> servers) {
    if (form_) {
        form_->bringToFront();
        return;
    }
    form_ = windows_.create(layouts::dnsWindow());
    window_ = std::make_unique<DnsWindow>(*form_, std::move(servers), services_);
    // Bound after the window's own handlers: they stop the test first.
    form_->on("", ui::Event::Destroyed, [this](ui::EventArgs&) {
        form_ = nullptr;
        // The window object stays until the next opening or the end: the
        // form may still run handlers bound before this one.
    });
    if (owner_ != &owner) {
        owner_ = &owner;
        owner.on("", ui::Event::Destroyed, [this](ui::EventArgs&) {
            owner_ = nullptr;
            close();
        });
    }
    if (place_) place_(*form_, owner);
    form_->setVisible("", true);
}

void DnsTest::close() {
    if (window_) window_->stop();
    if (form_) form_->close();
}

}  // namespace dns
