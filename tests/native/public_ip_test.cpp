#include <gtest/gtest.h>

#include "lookup/public_ip.h"
#include "platform/codec.h"
#include "resources/layouts.h"
#include "ui/memory_form.h"

namespace {
std::string g(std::string_view utf8) { return codec::utf8ToGbk(utf8); }
}  // namespace

TEST(PublicIp, AddressIsBetweenTheFirstBrackets) {
    EXPECT_EQ(lookup::scrapeAddress("your IP: [1.2.3.4] from [x]"), "1.2.3.4");
    EXPECT_EQ(lookup::scrapeAddress(g("您的IP是：[61.139.2.69] 来自：四川省")), "61.139.2.69");
    EXPECT_EQ(lookup::scrapeAddress("a ] b [1.2.3.4]"), "");
    EXPECT_EQ(lookup::scrapeAddress("no brackets"), "");
    EXPECT_EQ(lookup::scrapeAddress("[1.2.3.4"), "");
    EXPECT_EQ(lookup::scrapeAddress(""), "");
    // 0x81 0x5B and 0x81 0x5D are characters, not brackets.
    EXPECT_EQ(lookup::scrapeAddress("\x81]\x81[ [9.9.9.9]"), "9.9.9.9");
}

TEST(PublicIp, LocationFollowsTheSecondSourceUpToTheFirstListEnd) {
    EXPECT_EQ(lookup::scrapeLocation(g("<li>参考数据一：甲</li><li>参考数据二：四川省成都市 电信</li></ul></td>")),
              g("四川省成都市 电信"));
    // The first list end of the whole page counts, even one before the marker.
    EXPECT_EQ(lookup::scrapeLocation(g("</li></ul></td><li>参考数据二：乙</li></ul></td>")), "");
    // Markers missing: the same arithmetic with position -1.
    EXPECT_EQ(lookup::scrapeLocation("0123456789ABCDEF</li></ul></td>"), "ABCDEF");
    EXPECT_EQ(lookup::scrapeLocation(g("参考数据二：丙")), "");
    EXPECT_EQ(lookup::scrapeLocation(""), "");
    EXPECT_EQ(lookup::locationBody(""), "ip=&action=2");
    EXPECT_EQ(lookup::locationBody("1.2.3.4"), "ip=1.2.3.4&action=2");
}

TEST(PublicIp, ResultPageFillsTheLocationLineAndARejectionTheFrame) {
    ui::MemoryForm main(layouts::mainWindow());
    lookup::showLocation(main, g("<li>参考数据二：四川省成都市 电信</li></ul></td>"));
    EXPECT_EQ(main.text("标签3"), "\r\n你的地理位置为：【四川省成都市 电信】");
    EXPECT_EQ(main.text("编辑框3"), "");
    EXPECT_EQ(main.focused, "");

    lookup::showLocation(main, g("<p>无效的IP地址</p>"));
    EXPECT_EQ(main.text("编辑框3"), "无法获取地理位置信息");
    EXPECT_EQ(main.focused, "编辑框3");
    EXPECT_EQ(main.text("标签3"), "\r\n你的地理位置为：【】") << "the line is still rewritten";
}
