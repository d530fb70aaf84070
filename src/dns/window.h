// The window "DNS测速": its rows, the test run on a worker, the results as
// they arrive, the sort at the end, and the two buttons that put a row's
// address into the main window's DNS fields. Handlers over ui::Form and
// the platform interfaces only; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dns/servers.h"
#include "platform/clipboard.h"
#include "platform/tasks.h"
#include "platform/udp.h"
#include "ui/form.h"
#include "ui/windows.h"

namespace dns {

// Units of the window (layouts::dnsWindow()).
inline constexpr std::string_view kList = "结果_列表";
inline constexpr std::string_view kProgress = "进度_进度条";
inline constexpr std::string_view kStatus = "状态_标签";
inline constexpr std::string_view kAddField = "添加_IP框";
inline constexpr std::string_view kAddButton = "添加_按钮";
inline constexpr std::string_view kStartButton = "测速_按钮";
inline constexpr std::string_view kPreferredButton = "首选_按钮";
inline constexpr std::string_view kAlternateButton = "备用_按钮";
inline constexpr std::string_view kCopyButton = "复制_按钮";
inline constexpr std::string_view kWatchTimer = "状态_时钟";

inline constexpr std::string_view kStart = "开始测速";
inline constexpr std::string_view kStopCaption = "停止测速";
inline constexpr std::string_view kRunning = "正在测速…";
inline constexpr std::string_view kStopped = "测速已停止";
inline constexpr std::string_view kNoNetwork = "网络不可用，无法测速";
// "测速完成，用时 N.N 秒" for a time in microseconds (tenths, halves up).
std::string finishedText(std::int64_t micros);

// The list's captions, in column order.
inline constexpr std::string_view kCaptions[] = {"DNS服务器", "地址", "缓存(ms)", "非缓存(ms)", "丢包", "备注"};

// The texts of a row, in column order.
std::vector<std::string> rowTexts(const Server& server, const Tally& tally);

// The clipboard text: captions, then one line per row; tabs between
// fields, CR LF after every line.
std::string resultText(const std::vector<std::vector<std::string>>& rows);

struct DnsServices {
    platform::Udp* udp = nullptr;            // null: "网络不可用，无法测速"
    platform::Tasks* tasks = nullptr;        // null: the test cannot run (same text)
    platform::Clipboard* clipboard = nullptr;
    // Whether the adapter apply runs now (both fill buttons are disabled).
    std::function<bool()> applyRunning;
    // Puts an address into the main window's preferred (false) or
    // alternate (true) DNS field, as a preset leaves them.
    std::function<void(bool alternate, std::string_view address)> fill;
    // Whether the main window is shown; the window stops and closes once
    // it is not (hidden by the update).
    std::function<bool()> ownerShown;
};

// The handlers of one open window. The rows are `servers` in their order;
// the window grows by the user's additions. Bound to `form`, which it
// must outlive until the form's Destroyed event.
class DnsWindow {
public:
    DnsWindow(ui::Form& form, std::vector<Server> servers, DnsServices services);
    ~DnsWindow();
    DnsWindow(const DnsWindow&) = delete;
    DnsWindow& operator=(const DnsWindow&) = delete;

    bool running() const { return run_ != nullptr; }
    void start();
    void stop();
    // The row order as shown (indices into servers()).
    const std::vector<int>& shownOrder() const { return order_; }
    const std::vector<Server>& servers() const { return list_.servers(); }
    const Tally& tally(int row) const { return tallies_[row]; }

private:
    struct Run;
    void fillList();
    void showRow(int row);
    void arrived(const Sample& s);
    void ended(bool stopped, bool noNetwork);
    void updateButtons();
    void add();
    void fillField(bool alternate);
    void copy();
    int selectedRow() const;

    ui::Form& form_;
    DnsServices services_;
    ServerList list_;
    std::vector<Tally> tallies_;
    std::vector<int> order_;           // shown position -> row
    std::shared_ptr<Run> run_;
    std::int64_t started_ = 0;
    int total_ = 0, done_ = 0;
};

// Opens the window over `owner`, or brings the open one to the front.
// `servers` makes the rows at each opening (read then: the adapter's own
// servers are the selected adapter's at that moment). `place` runs once
// the window is built and before it shows.
class DnsTest {
public:
    using Place = std::function<void(ui::Form& window, ui::Form& owner)>;
    DnsTest(ui::Windows& windows, DnsServices services, Place place = {})
        : windows_(windows), services_(std::move(services)), place_(std::move(place)) {}
    ~DnsTest();
    void open(ui::Form& owner, std::vector<Server> servers);
    // Stops the test and closes the window, if open.
    void close();
    ui::Form* form() const { return form_; }
    DnsWindow* window() const { return window_.get(); }

private:
    ui::Windows& windows_;
    DnsServices services_;
    Place place_;
    ui::Form* form_ = nullptr;
    ui::Form* owner_ = nullptr;   // the owner whose Destroyed is bound
    std::unique_ptr<DnsWindow> window_;
};

}  // namespace dns
