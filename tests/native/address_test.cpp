#include <gtest/gtest.h>

#include "ui/address.h"
#include "ui/memory_form.h"
#include "resources/layouts.h"

namespace {
std::string shown(std::string_view text) {
    auto a = ui::parseAddressText(text);
    return a ? ui::formatAddress(*a) : "(clear)";
}
}  // namespace

TEST(AddressText, FieldShowsOrClears) {
    EXPECT_EQ(shown("192.168.1.10"), "192.168.1.10");
    EXPECT_EQ(shown("  8.8.8.8\t"), "8.8.8.8");
    EXPECT_EQ(shown("8.8.8.8 8.8.4.4"), "8.8.8.8");
    EXPECT_EQ(shown("192.168.1.10\r\n\r\n\r\n"), "192.168.1.10");
    EXPECT_EQ(shown("10.0.0.1\r\n10.0.0.2"), "10.0.0.1");
    EXPECT_EQ(shown(" 1 . 2 . 3 . 4 "), "1.2.3.4");
    EXPECT_EQ(shown("a.b.c.d"), "0.0.0.0");
    EXPECT_EQ(shown("1.2.3.4x"), "1.2.3.4");
    EXPECT_EQ(shown(""), "(clear)");
    EXPECT_EQ(shown("1.2.3"), "(clear)");
    EXPECT_EQ(shown("256.1.1.1"), "(clear)");
    EXPECT_EQ(shown("1.2.3.99999999999999999999"), "(clear)");
    EXPECT_EQ(shown("0.0.0.0"), "0.0.0.0");
}

TEST(AddressText, MemoryFieldFollowsTheRule) {
    ui::MemoryForm f(layouts::mainWindow());
    f.setText("IP编辑框4", "8.8.8.8 8.8.4.4");
    EXPECT_EQ(f.text("IP编辑框4"), "8.8.8.8");
    f.setText("IP编辑框4", "nonsense");
    EXPECT_EQ(f.text("IP编辑框4"), "");
}
