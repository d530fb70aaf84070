// Hostile registry contents through the adapter panel over the in-memory
// main window: values of the wrong type, values larger than the read
// buffer, adapter entries without values. Every case ends with blank
// fields or a skipped entry, the lists aligned, every key closed.
#include <gtest/gtest.h>

#include <cstdio>

#include "adapter/panel.h"
#include "fakes.h"
#include "resources/layouts.h"

using platform::RegistryType;
using namespace std::string_literals;

namespace {

std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return std::string(adapter::kClassKey) + name;
}

std::string interfaceKey(std::string_view id) { return std::string(adapter::kInterfacesKey) + std::string(id); }

// An entry the walk passes: UpperBind present, and, when `ethernet`, the
// lower range that makes it an adapter. Nothing else.
void bareEntry(MemoryRegistry& reg, int i, bool ethernet) {
    reg.put(entryKey(i) + "\\Linkage", "UpperBind", RegistryType::MultiString, "Tcpip\0\0"s);
    if (ethernet) reg.putText(entryKey(i) + "\\Ndi\\Interfaces", "LowerRange", "ethernet");
}

void fullEntry(MemoryRegistry& reg, int i, std::string_view desc, std::string_view id) {
    bareEntry(reg, i, true);
    reg.putText(entryKey(i), "DriverDesc", desc);
    reg.putText(entryKey(i), "NetCfgInstanceId", id);
}

using Strings = std::vector<std::string>;
const Strings kBlank(5);

// Counts the text measurements the panel asks for.
struct MeasuringForm : ui::MemoryForm {
    using MemoryForm::MemoryForm;
    mutable int measured = 0;
    ui::Size measureText(std::string_view unit, std::string_view text) const override {
        ++measured;
        return MemoryForm::measureText(unit, text);
    }
};

struct HostileRegistry : ::testing::Test {
    MeasuringForm form{layouts::mainWindow()};
    MemoryRegistry reg;
    RecordingRunner runner;
    ScriptedDialogs dialogs;
    ListedDevices devices;   // the first entry's device
    adapter::AdapterLists lists;

    void SetUp() override {
        devices.devices = {{"PCI\\VEN_FIRST\\0", std::string(adapter::kDriverKeyPrefix) + "0000"}};
        adapter::bindAdapterPanel(form, lists, {reg, runner, dialogs, nullptr, &devices});
    }

    Strings fields() const {
        Strings out;
        for (auto f : adapter::kFields) out.push_back(form.text(f));
        return out;
    }
    Strings items() const {
        Strings out;
        for (int i = 0; i < form.itemCount("网卡信息_组合框"); ++i) out.push_back(form.itemText("网卡信息_组合框", i, 0));
        return out;
    }
    // Shows adapter k (from 1) as the user's choice does.
    void choose(int k) {
        for (int i = 0; i < form.itemCount("网卡信息_组合框"); ++i)
            if (form.itemValue("网卡信息_组合框", i) == k) form.select("网卡信息_组合框", i);
    }
    void refresh() { form.click("刷新_按钮"); }
    void expectAligned() const {
        EXPECT_EQ(lists.网卡实例表.size(), lists.网卡描述表.size());
        EXPECT_EQ(form.itemCount("网卡信息_组合框"), lists.size());
        EXPECT_EQ(reg.openKeys, 0);
    }
};

}  // namespace

TEST_F(HostileRegistry, WrongTypesReadAsMissing) {
    fullEntry(reg, 0, "numbers", "{N}");
    fullEntry(reg, 1, "raw", "{R}");
    const std::string n = interfaceKey("{N}"), r = interfaceKey("{R}");
    // Numbers where texts belong, a text where the number belongs.
    reg.putText(n, "EnableDHCP", "1");
    reg.putDword(n, "IPAddress", 0x0A000001);
    reg.put(n, "SubnetMask", RegistryType::Qword, "\xFF\xFF\xFF\0\0\0\0\0"s);
    reg.putDword(n, "DefaultGateway", 1);
    reg.putDword(n, "NameServer", 0x08080808);
    // Well-formed texts stored under types that are not texts.
    reg.put(r, "EnableDHCP", RegistryType::None, "");
    reg.put(r, "IPAddress", RegistryType::Binary, "10.0.0.1\0\0"s);
    reg.put(r, "SubnetMask", RegistryType::None, "255.0.0.0\0\0"s);
    reg.put(r, "DefaultGateway", static_cast<RegistryType>(0xFFFF), "10.0.0.254\0\0"s);
    reg.put(r, "NameServer", RegistryType::Binary, "8.8.8.8,8.8.4.4\0"s);
    refresh();
    EXPECT_EQ(items(), (Strings{"numbers", "raw"}));
    EXPECT_EQ(fields(), kBlank);
    choose(1);
    EXPECT_EQ(form.text("分组框4"), "numbers");
    EXPECT_EQ(fields(), kBlank);

    // The entry's own values: a number, raw bytes and an empty type give
    // blank texts, not a skipped entry; the lists stay aligned.
    reg.putDword(entryKey(0), "DriverDesc", 0x41414141);
    reg.put(entryKey(0), "NetCfgInstanceId", RegistryType::Binary, "{N}\0"s);
    reg.put(entryKey(1) + "\\Ndi\\Interfaces", "LowerRange", RegistryType::Binary, "ethernet\0"s);
    refresh();
    EXPECT_EQ(items(), (Strings{""}));
    EXPECT_EQ(lists.网卡实例表, (Strings{""}));
    EXPECT_EQ(fields(), kBlank);
    expectAligned();

    // Apply on that entry writes nothing and runs nothing.
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), adapter::kWriteFailed);
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(HostileRegistry, ValuesLargerThanTheBufferReadAsMissing) {
    fullEntry(reg, 0, "big", "{G}");
    const std::string g = interfaceKey("{G}");
    reg.putDword(g, "EnableDHCP", 0);
    // 257 bytes and more: blank, even with a good address first.
    reg.put(g, "IPAddress", RegistryType::MultiString, "10.0.0.1\0"s + std::string(248, '\0'));
    reg.put(g, "SubnetMask", RegistryType::MultiString, "255.0.0.0\0"s + std::string(4096, 'x'));
    reg.put(g, "DefaultGateway", RegistryType::MultiString, std::string(1 << 20, '.'));
    reg.putText(g, "NameServer", "8.8.8.8," + std::string(300, ','));
    refresh();
    EXPECT_EQ(fields(), kBlank);
    // A number larger than the buffer counts as missing: 0, DHCP off.
    reg.put(g, "EnableDHCP", RegistryType::Binary, std::string(300, '\1'));
    reg.put(g, "IPAddress", RegistryType::MultiString, "10.0.0.1\0\0"s);
    choose(1);
    EXPECT_EQ(form.text("IP编辑框1"), "10.0.0.1");

    // Exactly 256 bytes is read, also without any zero in it: the address
    // still shows, the blanks after it are trimmed.
    reg.put(g, "IPAddress", RegistryType::String, "10.0.0.2" + std::string(248, ' '));
    reg.putText(g, "NameServer", std::string(255, ','));
    choose(1);
    EXPECT_EQ(form.text("IP编辑框1"), "10.0.0.2");
    EXPECT_EQ(form.text("IP编辑框4"), "");
    EXPECT_EQ(form.text("IP编辑框5"), "");
    reg.putText(g, "NameServer", std::string(254, ' ') + ",");   // 256 with its zero
    choose(1);
    EXPECT_EQ(form.text("IP编辑框4"), "");
    expectAligned();
}

TEST_F(HostileRegistry, EntriesWithoutValuesAreSkippedOrShownBlank) {
    fullEntry(reg, 0, "first", "{F}");
    bareEntry(reg, 1, true);           // an adapter with no values of its own
    bareEntry(reg, 2, false);          // not an adapter: no lower range at all
    reg.createKey(entryKey(2) + "\\Ndi\\Interfaces");
    reg.createKey(entryKey(3));        // holds nothing: the walk ends here
    fullEntry(reg, 4, "unreached", "{U}");
    reg.createKey(interfaceKey("{F}"));   // an interface key with no values
    refresh();
    EXPECT_EQ(items(), (Strings{"first", ""}));
    EXPECT_EQ(lists.网卡实例表, (Strings{"{F}", ""}));
    expectAligned();
    // Adapter 2 (selected after the refresh) names no interface key.
    EXPECT_EQ(form.text("分组框4"), "");
    EXPECT_EQ(fields(), kBlank);
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), adapter::kWriteFailed);
    EXPECT_TRUE(runner.calls.empty());

    // Adapter 1's key has no values: DHCP counts as off, every field blank.
    choose(1);
    EXPECT_EQ(form.text("分组框4"), "first");
    EXPECT_EQ(fields(), kBlank);
    // Its fields written, the values exist and read back.
    form.setText("IP编辑框1", "10.1.1.1");
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), adapter::kApplied);
    EXPECT_EQ(reg.get(interfaceKey("{F}"), "IPAddress")->data, "10.1.1.1\0\0"s);
    EXPECT_EQ(reg.get(interfaceKey("{F}"), "EnableDHCP"), nullptr);

    // No class key at all: an empty list, no caption, the apply asks for an adapter.
    reg.keys.clear();
    refresh();
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(form.text("分组框4"), "");
    form.click("修改_按钮");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, adapter::kChooseAdapter);
    expectAligned();
}

TEST_F(HostileRegistry, HugeAndBrokenTextsInTheEntry) {
    // A description of 64 KiB with zeros inside, an identifier with a
    // backslash that climbs to another key, control characters.
    fullEntry(reg, 0, "x", "{X}");
    reg.put(entryKey(0), "DriverDesc", RegistryType::String, std::string(1 << 16, 'W') + "\0tail\0"s);
    reg.putText(entryKey(0), "NetCfgInstanceId", "..\\..\\Other");
    refresh();
    ASSERT_EQ(lists.size(), 1);
    EXPECT_EQ(lists.网卡描述表[0].size(), size_t{1} << 16);
    // The caption is cut to fit the frame, found with a few measurements,
    // not one per character (65 506 of up to 64 KiB each, as it was).
    const std::string caption = form.text("分组框4");
    EXPECT_LT(caption.size(), 200u);
    EXPECT_EQ(caption.substr(caption.size() - 3), "…");
    EXPECT_LE(form.measured, 20);
    EXPECT_EQ(fields(), kBlank);
    expectAligned();
}
