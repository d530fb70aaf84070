// The adapter walk, the read and write of an interface key, and the text
// rules of its values, over the in-memory registry.
#include <gtest/gtest.h>

#include <cstdio>

#include "adapter/settings.h"
#include "memory_registry.h"

using platform::RegistryType;
using namespace std::string_literals;

namespace {

std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return std::string(adapter::kClassKey) + name;
}

std::string interfaceKey(std::string_view id) { return std::string(adapter::kInterfacesKey) + std::string(id); }

// A class entry: Linkage\UpperBind, Ndi\Interfaces\LowerRange and the two
// values of the entry itself.
void addEntry(MemoryRegistry& reg, int i, std::string_view lowerRange, std::string_view desc, std::string_view id) {
    const std::string key = entryKey(i);
    reg.put(key + "\\Linkage", "UpperBind", RegistryType::MultiString, "Tcpip\0NetBT\0\0"s);
    reg.putText(key + "\\Ndi\\Interfaces", "LowerRange", lowerRange);
    reg.putText(key, "DriverDesc", desc);
    reg.putText(key, "NetCfgInstanceId", id);
}

bool wasOpened(const MemoryRegistry& reg, const std::string& path) {
    for (auto& p : reg.opened)
        if (p.rfind(MemoryRegistry::fold(path), 0) == 0) return true;
    return false;
}

}  // namespace

TEST(AdapterWalk, VisitsEveryNumberedEntryUpToTheFirstWithoutUpperBind) {
    MemoryRegistry reg;
    for (int i = 0; i <= 12; ++i) addEntry(reg, i, "ethernet", "nic" + std::to_string(i), "{id" + std::to_string(i) + "}");
    adapter::AdapterLists lists;
    EXPECT_EQ(adapter::枚举网卡(reg, lists), 13);
    EXPECT_EQ(lists.网卡描述表.back(), "nic12");
    EXPECT_EQ(lists.网卡描述表[10], "nic10");
    EXPECT_EQ(lists.网卡实例表[11], "{id11}");
    EXPECT_EQ(reg.openKeys, 0);

    // A gap at 0003 ends the walk: 0004 and later are never looked at.
    reg.keys.erase(MemoryRegistry::fold(entryKey(3) + "\\Linkage"));
    lists.clear();
    reg.opened.clear();
    EXPECT_EQ(adapter::枚举网卡(reg, lists), 3);
    EXPECT_EQ(lists.网卡描述表, (std::vector<std::string>{"nic0", "nic1", "nic2"}));
    EXPECT_FALSE(wasOpened(reg, entryKey(4)));
    EXPECT_FALSE(wasOpened(reg, entryKey(3) + "\\Ndi"));

    // The walk appends to what the lists hold.
    EXPECT_EQ(adapter::枚举网卡(reg, lists), 6);
}

TEST(AdapterWalk, KeepsOnlyALowerRangeOfExactlyEthernet) {
    MemoryRegistry reg;
    addEntry(reg, 0, "wlan,ethernet", "wlan", "{0}");
    addEntry(reg, 1, "ethernet", "wired", "{1}");
    addEntry(reg, 2, "Ethernet", "capital", "{2}");
    addEntry(reg, 3, "", "empty", "{3}");
    addEntry(reg, 4, "ethernet ", "blank", "{4}");
    addEntry(reg, 5, "ethernet", "multi", "{5}");
    reg.put(entryKey(5) + "\\Ndi\\Interfaces", "LowerRange", RegistryType::MultiString, "ethernet\0\0"s);
    addEntry(reg, 6, "ethernet", "expand", "{6}");
    reg.put(entryKey(6) + "\\Ndi\\Interfaces", "LowerRange", RegistryType::ExpandString, "ethernet\0"s);
    addEntry(reg, 7, "ethernet", "nolowerrange", "{7}");
    reg.keys.erase(MemoryRegistry::fold(entryKey(7) + "\\Ndi\\Interfaces"));
    adapter::AdapterLists lists;
    EXPECT_EQ(adapter::枚举网卡(reg, lists), 2);
    EXPECT_EQ(lists.网卡描述表, (std::vector<std::string>{"wired", "expand"}));
}

TEST(AdapterWalk, MissingOrWrongTypedValuesKeepTheListsAligned) {
    MemoryRegistry reg;
    addEntry(reg, 0, "ethernet", "", "{0}");
    reg.keys[MemoryRegistry::fold(entryKey(0))].erase("driverdesc");
    addEntry(reg, 1, "ethernet", "second", "{1}");
    reg.putDword(entryKey(1), "NetCfgInstanceId", 7);
    // UpperBind of any type, even one that is not a text, lets the walk on.
    addEntry(reg, 2, "ethernet", "third", "{2}");
    reg.putDword(entryKey(2) + "\\Linkage", "UpperBind", 1);
    // An entry that exists but holds nothing ends the walk.
    reg.createKey(entryKey(3));
    addEntry(reg, 4, "ethernet", "unreached", "{4}");

    adapter::AdapterLists lists;
    EXPECT_EQ(adapter::枚举网卡(reg, lists), 3);
    EXPECT_EQ(lists.网卡描述表, (std::vector<std::string>{"", "second", "third"}));
    EXPECT_EQ(lists.网卡实例表, (std::vector<std::string>{"{0}", "", "{2}"}));
    // Text values end at their first zero.
    reg.put(entryKey(0), "DriverDesc", RegistryType::String, "Intel\0garbage\0"s);
    lists.clear();
    adapter::枚举网卡(reg, lists);
    EXPECT_EQ(lists.网卡描述表[0], "Intel");
    EXPECT_EQ(reg.openKeys, 0);
}

TEST(AdapterSettings, ReadsTheFiveTextsAndHonoursDhcp) {
    MemoryRegistry reg;
    const std::string key = interfaceKey("{A}");
    reg.putDword(key, "EnableDHCP", 0);
    reg.put(key, "IPAddress", RegistryType::MultiString, "192.168.1.10\0"s "10.0.0.5\0\0"s);
    reg.put(key, "SubnetMask", RegistryType::MultiString, "255.255.255.0\0\0"s);
    reg.put(key, "DefaultGateway", RegistryType::MultiString, "\0\0"s);
    reg.putText(key, "NameServer", "8.8.8.8,8.8.4.4,1.1.1.1");

    auto s = adapter::读取网卡设置(reg, "{A}");
    EXPECT_TRUE(s.read);
    // The strings become lines, followed by the buffer's empty lines.
    EXPECT_EQ(s.ip.substr(0, 26), "192.168.1.10\r\n10.0.0.5\r\n\r\n");
    EXPECT_EQ(s.ip.size(), 12 + 8 + (256 - 20) * 2 - 2);
    EXPECT_EQ(s.mask.substr(0, 15), "255.255.255.0\r\n");
    EXPECT_EQ(s.gateway.find_first_not_of("\r\n"), std::string::npos);
    EXPECT_EQ(s.preferredDns, "8.8.8.8");
    EXPECT_EQ(s.alternateDns, "8.8.4.4");

    // DHCP on: nothing is shown.
    reg.putDword(key, "EnableDHCP", 1);
    s = adapter::读取网卡设置(reg, "{A}");
    EXPECT_FALSE(s.read);
    EXPECT_EQ(s.ip + s.mask + s.gateway + s.preferredDns + s.alternateDns, "");
    // Only the first four bytes count, little-endian.
    reg.put(key, "EnableDHCP", RegistryType::Binary, "\0\0\0\0\1"s);
    EXPECT_TRUE(adapter::读取网卡设置(reg, "{A}").read);
    reg.put(key, "EnableDHCP", RegistryType::Binary, "\0\0\0\1"s);
    EXPECT_FALSE(adapter::读取网卡设置(reg, "{A}").read);
    // A text where a number belongs counts as missing, that is 0.
    reg.putText(key, "EnableDHCP", "1");
    EXPECT_TRUE(adapter::读取网卡设置(reg, "{A}").read);
    EXPECT_EQ(reg.openKeys, 0);
}

TEST(AdapterSettings, BadValuesReadAsBlank) {
    MemoryRegistry reg;
    const std::string key = interfaceKey("{B}");
    // More than the 256-byte buffer holds.
    reg.put(key, "IPAddress", RegistryType::MultiString, std::string(250, ' ') + "1.2.3.4\0\0"s);
    // Exactly the buffer's size is still read.
    reg.put(key, "SubnetMask", RegistryType::MultiString, "255.0.0.0" + std::string(256 - 9, '\0'));
    // A number where a text belongs.
    reg.putDword(key, "DefaultGateway", 0x01020304);
    reg.put(key, "NameServer", RegistryType::Binary, "8.8.8.8\0"s);
    auto s = adapter::读取网卡设置(reg, "{B}");
    EXPECT_TRUE(s.read);
    EXPECT_EQ(s.ip.find_first_not_of("\r\n"), std::string::npos);
    EXPECT_EQ(s.mask.substr(0, 11), "255.0.0.0\r\n");
    EXPECT_EQ(s.gateway.find_first_not_of("\r\n"), std::string::npos);
    EXPECT_EQ(s.preferredDns, "");

    // No interface key, or no identifier at all: nothing read. An empty
    // identifier must not fall back to the parent of all interface keys.
    reg.putDword(std::string(adapter::kInterfacesKey), "EnableDHCP", 0);
    EXPECT_FALSE(adapter::读取网卡设置(reg, "{missing}").read);
    EXPECT_FALSE(adapter::读取网卡设置(reg, "").read);
}

TEST(AdapterSettings, NameServerSplitsIntoAtMostTwoServers) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(adapter::splitNameServer("a"), P("a", ""));
    EXPECT_EQ(adapter::splitNameServer("a,b"), P("a", "b"));
    EXPECT_EQ(adapter::splitNameServer("a,b,c"), P("a", "b"));
    EXPECT_EQ(adapter::splitNameServer("a,"), P("a", ""));
    EXPECT_EQ(adapter::splitNameServer(""), P("", ""));
    EXPECT_EQ(adapter::splitNameServer(","), P("", ""));
    EXPECT_EQ(adapter::splitNameServer(",b"), P("", "b"));
    EXPECT_EQ(adapter::splitNameServer("a,,"), P("a", ""));
    EXPECT_EQ(adapter::splitNameServer("a,b\0c,d"s), P("a", "b"));
    EXPECT_EQ(adapter::splitNameServer("8.8.8.8 8.8.4.4"), P("8.8.8.8 8.8.4.4", ""));
}

TEST(AdapterSettings, MultiStringEncodingByteForByte) {
    EXPECT_EQ(adapter::encodeMultiString("192.168.1.10"), "192.168.1.10\0\0"s);
    EXPECT_EQ(adapter::encodeMultiString("192.168.1.10").size(), 14u);
    EXPECT_EQ(adapter::encodeMultiString(""), "\0\0"s);
    EXPECT_EQ(adapter::encodeMultiString("a\r\n"), "a\0\0"s);
    EXPECT_EQ(adapter::encodeMultiString("a\r\nb"), "a\0b\0\0"s);
    EXPECT_EQ(adapter::encodeMultiString("a\nb\r"), "a\nb\r\0\0"s);
    // Runs of three, left to right without overlap: four zeros become three.
    EXPECT_EQ(adapter::encodeMultiString("\r\n\r\n"), "\0\0\0"s);
    EXPECT_EQ(adapter::encodeMultiString("a\r\n\r\nb\r\n"), "a\0\0b\0\0"s);
    // Read back, the first string is the first line again.
    std::string buffer = adapter::encodeMultiString("10.1.2.3\r\n10.1.2.4");
    buffer.resize(adapter::kValueBuffer, '\0');
    EXPECT_EQ(adapter::multiStringLines(buffer).substr(0, 20), "10.1.2.3\r\n10.1.2.4\r\n");
    // A value that fills the whole buffer has no zero at its end: the two
    // bytes dropped at the end are its own.
    EXPECT_EQ(adapter::multiStringLines(std::string(adapter::kValueBuffer, 'a')),
              std::string(adapter::kValueBuffer - 2, 'a'));
    // Its only zero second last: the break before the last byte loses its
    // "\n" with that byte.
    std::string nearlyFull(adapter::kValueBuffer, 'a');
    nearlyFull[adapter::kValueBuffer - 2] = '\0';
    EXPECT_EQ(adapter::multiStringLines(nearlyFull), std::string(adapter::kValueBuffer - 2, 'a') + "\r");
}

TEST(AdapterSettings, WritesFourValuesInOrderAndNeverEnableDhcp) {
    MemoryRegistry reg;
    const std::string key = interfaceKey("{C}");
    reg.putDword(key, "EnableDHCP", 1);
    ASSERT_TRUE(adapter::写入网卡设置(reg, "{C}", "192.168.1.10", "255.255.255.0", "", "8.8.8.8", ""));
    ASSERT_EQ(reg.writes.size(), 4u);
    const char* names[] = {"IPAddress", "SubnetMask", "DefaultGateway", "NameServer"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(reg.writes[i].name, names[i]);
    EXPECT_EQ(reg.writes[0].type, RegistryType::MultiString);
    EXPECT_EQ(reg.writes[0].data, "192.168.1.10\0\0"s);
    EXPECT_EQ(reg.writes[1].data, "255.255.255.0\0\0"s);
    EXPECT_EQ(reg.writes[2].type, RegistryType::MultiString);
    EXPECT_EQ(reg.writes[2].data, "\0\0"s);
    EXPECT_EQ(reg.writes[3].type, RegistryType::String);
    EXPECT_EQ(reg.writes[3].data, "8.8.8.8,\0"s);
    EXPECT_EQ(reg.get(key, "EnableDHCP")->data, "\1\0\0\0"s);
    EXPECT_EQ(reg.openKeys, 0);

    // Both DNS blank: a lone comma; read back, both stay blank.
    reg.putDword(key, "EnableDHCP", 0);
    ASSERT_TRUE(adapter::写入网卡设置(reg, "{C}", "", "", "", "", ""));
    EXPECT_EQ(reg.get(key, "NameServer")->data, ",\0"s);
    auto s = adapter::读取网卡设置(reg, "{C}");
    EXPECT_EQ(s.preferredDns + s.alternateDns, "");
}

TEST(AdapterSettings, WriteStopsAtTheFirstFailure) {
    MemoryRegistry reg;
    const std::string key = interfaceKey("{D}");
    reg.createKey(key);
    reg.failSetOf = "SubnetMask";
    EXPECT_FALSE(adapter::写入网卡设置(reg, "{D}", "1.2.3.4", "255.0.0.0", "1.2.3.1", "8.8.8.8", "8.8.4.4"));
    ASSERT_EQ(reg.writes.size(), 1u);   // IPAddress stays written
    EXPECT_EQ(reg.writes[0].name, "IPAddress");
    EXPECT_EQ(reg.get(key, "DefaultGateway"), nullptr);
    EXPECT_EQ(reg.openKeys, 0);

    // A key that does not open for writing, a missing key, no identifier.
    reg.failSetOf.clear();
    reg.writes.clear();
    reg.readOnly.insert(MemoryRegistry::fold(key));
    EXPECT_FALSE(adapter::写入网卡设置(reg, "{D}", "1.2.3.4", "", "", "", ""));
    EXPECT_FALSE(adapter::写入网卡设置(reg, "{none}", "1.2.3.4", "", "", "", ""));
    reg.createKey(adapter::kInterfacesKey);
    EXPECT_FALSE(adapter::写入网卡设置(reg, "", "1.2.3.4", "", "", "", ""));
    EXPECT_TRUE(reg.writes.empty());
}
