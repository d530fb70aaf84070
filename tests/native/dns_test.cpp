#include <gtest/gtest.h>

#include <set>

#include "adapter/panel.h"
#include "dns/message.h"
#include "dns/measure.h"
#include "dns/servers.h"
#include "dns/window.h"
#include "dns_fakes.h"
#include "fakes.h"
#include "resources/layouts.h"
#include "ui/memory_form.h"

namespace {

using dnsfake::Mode;
using Bytes = std::vector<std::uint8_t>;

TEST(DnsMessage, QueryIsOneRecursiveQuestionForA) {
    const Bytes q = dns::encodeQuery(0xBEEF, "www.baidu.com");
    const Bytes want = {0xBE, 0xEF, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 3, 'w', 'w', 'w', 5, 'b', 'a', 'i', 'd',
                        'u', 3, 'c', 'o', 'm', 0, 0, 1, 0, 1};
    EXPECT_EQ(q, want);
    EXPECT_TRUE(dns::encodeQuery(1, "").empty());
    EXPECT_TRUE(dns::encodeQuery(1, "a..com").empty());
    EXPECT_TRUE(dns::encodeQuery(1, std::string(64, 'a') + ".com").empty());
}

TEST(DnsMessage, ReplyCountsOnlyForItsQuery) {
    const Bytes q = dns::encodeQuery(0x1234, "www.baidu.com");
    auto r = dns::readReply(dnsfake::replyTo(q, 0, true), 0x1234, "WWW.Baidu.com");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rcode, 0);
    EXPECT_TRUE(r->address);
    r = dns::readReply(dnsfake::replyTo(q, 3, false), 0x1234, "www.baidu.com");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rcode, 3);
    EXPECT_FALSE(r->address);

    EXPECT_FALSE(dns::readReply(dnsfake::replyTo(q, 0, true), 0x1235, "www.baidu.com"));   // id
    EXPECT_FALSE(dns::readReply(dnsfake::replyTo(q, 0, true), 0x1234, "www.baidu.cn"));    // question
    EXPECT_FALSE(dns::readReply(q, 0x1234, "www.baidu.com"));                                // our own query: no QR
    Bytes aaaa = dnsfake::replyTo(q, 0, false);
    aaaa[aaaa.size() - 3] = 28;
    EXPECT_FALSE(dns::readReply(aaaa, 0x1234, "www.baidu.com"));
}

TEST(DnsMessage, HostileRepliesAreDropped) {
    const Bytes q = dns::encodeQuery(7, "a.com");
    const Bytes good = dnsfake::replyTo(q, 0, true);
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(dns::readReply(std::span(good.data(), n), 7, "a.com")) << n;

    Bytes loop = good;   // the answer's name points at itself
    loop[q.size()] = 0xC0;
    loop[q.size() + 1] = static_cast<std::uint8_t>(q.size());
    EXPECT_FALSE(dns::readReply(loop, 7, "a.com"));
    Bytes forward = good;   // the question's name points forward
    forward[12] = 0xC0;
    forward[13] = 40;
    EXPECT_FALSE(dns::readReply(forward, 7, "a.com"));
    Bytes counts = good;   // more answers than the packet holds
    counts[6] = 0xFF;
    EXPECT_FALSE(dns::readReply(counts, 7, "a.com"));
    Bytes length = good;   // a record longer than the packet
    length[length.size() - 6] = 0x40;
    EXPECT_FALSE(dns::readReply(length, 7, "a.com"));
    Bytes questions = good;
    questions[5] = 2;
    EXPECT_FALSE(dns::readReply(questions, 7, "a.com"));
}

struct Measured {
    dnsfake::Network net;
    std::vector<dns::Tally> tallies;
    dns::RunEnd end{};
    std::int64_t took = 0;
};

void runOver(Measured& m, const std::vector<std::pair<Mode, int>>& resolvers) {
    std::vector<dns::Target> targets;
    for (size_t i = 0; i < resolvers.size(); ++i) {
        const dns::Target t{0x7F000001, static_cast<std::uint16_t>(5300 + i)};
        targets.push_back(t);
        m.net.resolvers[{t.address, t.port}] = {resolvers[i].first, resolvers[i].second};
    }
    m.tallies.assign(targets.size(), {});
    std::atomic<bool> stop{false};
    const std::int64_t start = m.net.now;
    m.end = dns::measure(m.net, targets, stop, [&](const dns::Sample& s) { m.tallies[s.target].add(s); });
    m.took = m.net.now - start;
}

TEST(DnsMeasure, RoundsTimesLossesAndNotes) {
    Measured m;
    runOver(m, {{Mode::Answer, 30}, {Mode::Answer, 300}, {Mode::Silent, 0}, {Mode::Refuse, 5}, {Mode::Hijack, 8},
                {Mode::WrongIdFirst, 10}, {Mode::ServFail, 5}, {Mode::Garbage, 4}, {Mode::Answer, 2500}});
    EXPECT_EQ(m.end, dns::RunEnd::Finished);
    EXPECT_LE(m.took, 3'000'000 + 30'000);   // round 10 at 1.0 s plus the 2 s wait

    // Eleven queries each, a round every 100 ms, one query to each per round.
    ASSERT_EQ(m.net.sent.size(), 9u * 11u);
    std::set<std::string> labels;
    for (size_t i = 0; i < m.net.sent.size(); ++i) {
        const auto& s = m.net.sent[i];
        const int round = static_cast<int>(i / 9);
        EXPECT_GE(s.at - m.net.sent[0].at, round * 100'000);
        EXPECT_LT(s.at - m.net.sent[0].at, round * 100'000 + 20'000);
        if (round <= 5) {
            EXPECT_EQ(s.bytes[12], 3);   // www.baidu.com
        } else {
            ASSERT_EQ(s.bytes[12], 16);
            labels.insert(std::string(s.bytes.begin() + 13, s.bytes.begin() + 29));
            EXPECT_EQ(std::string(s.bytes.begin() + 29, s.bytes.begin() + 34), std::string("\3com\0", 5));
        }
    }
    EXPECT_EQ(labels.size(), 5u * 9u);

    auto row = [&](int i) { return dns::rowTexts({"x", "127.0.0.1"}, m.tallies[i]); };
    EXPECT_EQ(row(0)[2], "30");
    EXPECT_EQ(row(0)[4], "0%");
    EXPECT_EQ(row(0)[5], "");
    EXPECT_EQ(row(1)[3], "300");
    EXPECT_EQ(row(2)[2], "—");
    EXPECT_EQ(row(2)[4], "100%");
    EXPECT_EQ(row(2)[5], "无响应");
    EXPECT_EQ(row(3)[4], "100%");
    EXPECT_EQ(row(3)[5], "拒绝");
    EXPECT_EQ(row(6)[5], "拒绝");   // SERVFAIL
    EXPECT_EQ(row(4)[5], "劫持");
    EXPECT_EQ(row(4)[4], "0%");
    // Replies with a wrong id, address or port are not answers.
    EXPECT_EQ(row(5)[2], "11");
    EXPECT_EQ(row(5)[5], "");
    EXPECT_EQ(row(7)[2], "5");
    EXPECT_EQ(row(7)[4], "0%");
    // Past the 2 s wait a reply is a loss, never a time.
    EXPECT_EQ(row(8)[2], "—");
    EXPECT_EQ(row(8)[4], "100%");
    EXPECT_EQ(row(8)[5], "无响应");

    const std::vector<int> order = dns::sortedOrder(m.tallies);
    EXPECT_EQ(order, (std::vector<int>{7, 4, 5, 0, 1, 2, 3, 6, 8}));
}

TEST(DnsMeasure, StopAndNoNetwork) {
    dnsfake::Network net;
    net.resolvers[{0x7F000001, 53}] = {Mode::Silent, 0};
    std::atomic<bool> stop{false};
    int reported = 0;
    const auto end = dns::measure(net, {{0x7F000001, 53}}, stop, [&](const dns::Sample&) {
        if (++reported == 1) stop = true;
    });
    EXPECT_EQ(end, dns::RunEnd::Stopped);
    EXPECT_LT(net.now - 1'000'000, 2'200'000);
    net.noSocket = true;
    EXPECT_EQ(dns::measure(net, {{0x7F000001, 53}}, stop, [](const dns::Sample&) {}), dns::RunEnd::NoNetwork);
}

TEST(DnsMeasure, MediansAndOrder) {
    EXPECT_FALSE(dns::median({}));
    EXPECT_EQ(dns::median({7, 1, 4}), 4);
    EXPECT_EQ(dns::median({1, 2}), 2);   // 1.5 rounds up
    EXPECT_EQ(dns::median({10, 2, 4, 30}), 7);

    auto tally = [](int lost, std::vector<int> cached, std::vector<int> uncached) {
        dns::Tally t;
        t.lost = lost;
        t.counted = 10;
        t.cached = std::move(cached);
        t.uncached = std::move(uncached);
        return t;
    };
    // Up to 20% lost: by uncached median, then cached; then the rest by loss.
    std::vector<dns::Tally> rows = {tally(3, {1}, {1}),      tally(0, {9}, {20}), tally(2, {5}, {20}),
                                    tally(10, {}, {}),        tally(0, {4}, {50}), tally(5, {1}, {1})};
    EXPECT_EQ(dns::sortedOrder(rows), (std::vector<int>{2, 1, 4, 0, 5, 3}));
    // A row added during the test, not measured, comes last.
    rows.insert(rows.begin(), dns::Tally{});
    EXPECT_EQ(dns::sortedOrder(rows), (std::vector<int>{3, 2, 5, 1, 6, 4, 0}));
}

TEST(DnsServers, RowsFromAdapterPresetsTableAndUser) {
    auto names = [](const std::vector<dns::Server>& v) {
        std::vector<std::string> out;
        for (const auto& s : v) out.push_back(s.name + "=" + s.shown());
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(names(dns::adapterServers("10.0.0.1,10.0.0.2", "9.9.9.9")),
              (V{"当前首选=10.0.0.1", "当前备用=10.0.0.2"}));
    EXPECT_EQ(names(dns::adapterServers(",", "10.1.1.1 10.1.1.2")), (V{"当前首选=10.1.1.1", "当前备用=10.1.1.2"}));
    EXPECT_EQ(names(dns::adapterServers("", "")), V{});
    EXPECT_EQ(names(dns::adapterServers("bogus,010.1.1.1", "")), V{});

    const auto presets = dns::presetServers();
    ASSERT_EQ(presets.size(), 8u);
    EXPECT_EQ(presets[0].name, "Google");
    EXPECT_EQ(presets[7].name + "=" + presets[7].address, "中国铁通=211.98.4.1");
    EXPECT_EQ(names(dns::publicServers(nullptr)).front(), "114DNS=114.114.114.114");
    EXPECT_EQ(dns::publicServers(nullptr).size(), 10u);
    EXPECT_EQ(names(dns::publicServers("127.0.0.1:5300, 127.0.0.2,bad,1.2.3.4:0,1.2.3.4:99999,1.2.3.4:x")),
              (V{"127.0.0.1:5300=127.0.0.1:5300", "127.0.0.2=127.0.0.2"}));

    const auto rows = dns::testRows(dns::adapterServers("8.8.8.8,10.0.0.9", ""), nullptr);
    EXPECT_EQ(rows.size(), 19u);
    EXPECT_EQ(names(dns::testRows(dns::adapterServers("10.0.0.9", ""), "127.0.0.1:5300")), V{"127.0.0.1:5300=127.0.0.1:5300"});
    dns::ServerList list;
    list.append(dns::adapterServers("8.8.8.8,10.0.0.9", ""));
    list.append(presets);
    EXPECT_EQ(list.servers()[0].name, "当前首选");   // the first name wins
    EXPECT_EQ(list.servers().size(), 9u);
    EXPECT_EQ(list.add(""), dns::kAddressInvalid);
    EXPECT_EQ(list.add("0.1.2.3"), dns::kAddressInvalid);
    EXPECT_EQ(list.add("224.0.0.1"), dns::kAddressInvalid);
    EXPECT_EQ(list.add("1.2.3"), dns::kAddressInvalid);
    EXPECT_EQ(list.add("10.0.0.9"), dns::kAddressListed);
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(list.add("127.0.0." + std::to_string(i)), "");
    EXPECT_EQ(list.add("127.0.0.9"), dns::kTooManyAdded);
    EXPECT_EQ(list.servers().back().name, "自定义");
    EXPECT_EQ(list.servers().size(), 17u);
}

TEST(DnsWindow, TestRunsSortsFillsAndCopies) {
    ui::MemoryForm main(layouts::mainWindow());
    main.setChecked("单选框2", true);
    ui::MemoryForm form(layouts::dnsWindow());
    dnsfake::Network net;
    net.resolvers[{0x7F000001, 5301}] = {Mode::Answer, 40};
    net.resolvers[{0x7F000001, 5302}] = {Mode::Silent, 0};
    net.resolvers[{0x7F000001, 5303}] = {Mode::Answer, 3};
    FakeTasks tasks;
    tasks.queued = true;
    RecordingClipboard clipboard;
    bool applying = false;
    dns::DnsServices services;
    services.udp = &net;
    services.tasks = &tasks;
    services.clipboard = &clipboard;
    services.applyRunning = [&] { return applying; };
    services.fill = [&](bool alternate, std::string_view a) { adapter::fillDnsField(main, alternate, a); };
    dns::DnsWindow w(form, dns::publicServers("127.0.0.1:5301,127.0.0.1:5302,127.0.0.1:5303"), services);

    EXPECT_EQ(form.itemCount(dns::kList), 3);
    EXPECT_FALSE(form.enabled(dns::kPreferredButton));
    form.click(dns::kStartButton);
    EXPECT_EQ(form.text(dns::kStartButton), "停止测速");
    EXPECT_EQ(form.text(dns::kStatus), "正在测速…");
    tasks.drain();
    EXPECT_EQ(form.text(dns::kStartButton), "开始测速");
    EXPECT_EQ(form.text(dns::kStatus), "测速完成，用时 3.0 秒");
    EXPECT_EQ(form.position(dns::kProgress), 1000);
    EXPECT_EQ(form.itemText(dns::kList, 0, 1), "127.0.0.1:5303");
    EXPECT_EQ(form.itemText(dns::kList, 1, 2), "40");
    EXPECT_EQ(form.itemText(dns::kList, 2, 5), "无响应");

    form.select(dns::kList, 1);
    EXPECT_TRUE(form.enabled(dns::kPreferredButton));
    applying = true;
    form.fire(dns::kWatchTimer, ui::Event::Tick, 1);
    EXPECT_FALSE(form.enabled(dns::kAlternateButton));
    applying = false;
    form.fire(dns::kWatchTimer, ui::Event::Tick, 1);
    form.click(dns::kAlternateButton);
    EXPECT_EQ(main.text("IP编辑框5"), "127.0.0.1");
    EXPECT_FALSE(main.enabled("IP编辑框4"));
    EXPECT_FALSE(main.enabled("IP编辑框5"));
    EXPECT_TRUE(main.checked("单选框2"));   // the options stay as they were

    form.click(dns::kCopyButton);
    ASSERT_FALSE(clipboard.texts.empty());
    const std::string& text = clipboard.texts.back();
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "DNS服务器\t地址\t缓存(ms)\t非缓存(ms)\t丢包\t备注");
    EXPECT_NE(text.find("127.0.0.1:5302\t127.0.0.1:5302\t—\t—\t100%\t无响应\r\n"), std::string::npos);

    // A stop ends at once and sorts what was measured.
    form.click(dns::kStartButton);
    form.click(dns::kStartButton);
    EXPECT_EQ(form.text(dns::kStatus), "测速已停止");
    tasks.drain();
    EXPECT_EQ(form.text(dns::kStatus), "测速已停止");

    form.setText(dns::kAddField, "0.0.0.1");
    form.click(dns::kAddButton);
    EXPECT_EQ(form.text(dns::kStatus), "地址无效");
    form.setText(dns::kAddField, "10.0.0.1");
    form.click(dns::kAddButton);
    EXPECT_EQ(form.itemCount(dns::kList), 4);
    EXPECT_EQ(form.itemText(dns::kList, 3, 0), "自定义");

    net.noSocket = true;
    form.click(dns::kStartButton);
    tasks.drain();
    EXPECT_EQ(form.text(dns::kStatus), "网络不可用，无法测速");
}

}  // namespace
