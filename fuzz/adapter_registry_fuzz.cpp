// The adapter walk and the read and write of interface keys over an
// in-memory registry filled from the fuzzer's bytes: values of any type and
// size, missing values, missing keys. The lists stay aligned, every key is
// closed, and what is shown obeys the documented rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "adapter/settings.h"
#include "check.h"
#include "memory_registry.h"

using platform::RegistryType;

namespace {

const char* const kIds[] = {"{A}", "{B}", ""};

std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return std::string(adapter::kClassKey) + name;
}

std::string interfaceKey(std::string_view id) { return std::string(adapter::kInterfacesKey) + std::string(id); }

RegistryType anyType(FuzzedDataProvider& in) {
    static const RegistryType kTypes[] = {RegistryType::None,   RegistryType::String, RegistryType::ExpandString,
                                          RegistryType::Binary, RegistryType::Dword,  RegistryType::MultiString,
                                          RegistryType::Qword};
    if (in.ConsumeIntegralInRange(0, 15) == 0) return static_cast<RegistryType>(in.ConsumeIntegral<std::uint32_t>());
    return in.PickValueInArray(kTypes);
}

// Absent, a likely value (`usual` as text) or anything.
void maybePut(FuzzedDataProvider& in, MemoryRegistry& reg, const std::string& key, const char* name,
              std::string_view usual) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return;
    case 1: reg.putText(key, name, usual); return;
    default: reg.put(key, name, anyType(in), in.ConsumeRandomLengthString(320));
    }
}

bool isText(const platform::RegistryValue* v) {
    return v && (v->type == RegistryType::String || v->type == RegistryType::ExpandString);
}

std::string upToZero(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

// What the panel would show for the interface values as stored.
void checkSettings(const MemoryRegistry& reg, const adapter::AdapterSettings& s, std::string_view id) {
    if (!s.read) {
        FUZZ_CHECK((s.ip + s.mask + s.gateway + s.preferredDns + s.alternateDns).empty());
        return;
    }
    FUZZ_CHECK(!id.empty());
    const std::string key = interfaceKey(id);
    const std::pair<const char*, const std::string*> lines[] = {
        {"IPAddress", &s.ip}, {"SubnetMask", &s.mask}, {"DefaultGateway", &s.gateway}};
    for (auto [name, text] : lines) {
        // Always the whole buffer: at least one character or line break per byte.
        FUZZ_CHECK(text->size() >= adapter::kValueBuffer - 2);
        const platform::RegistryValue* v = reg.get(key, name);
        const bool shown = v && platform::isStringType(v->type) && v->data.size() <= adapter::kValueBuffer;
        std::string first = shown ? upToZero(v->data) : std::string();
        // A value that fills the whole buffer has no zero byte to turn into
        // the line break that is dropped at the end: its last two bytes go.
        if (first.size() == adapter::kValueBuffer) first.resize(adapter::kValueBuffer - 2);
        FUZZ_CHECK(text->compare(0, first.size(), first) == 0);
        // Then a line break, unless the text ends there; when the buffer's
        // last zero is its second last byte, the two characters dropped at
        // the end are the last byte and the break's "\n", leaving "\r".
        const std::string_view rest = std::string_view(*text).substr(first.size());
        FUZZ_CHECK(rest.empty() || rest.starts_with("\r\n") || rest == "\r");
    }
    FUZZ_CHECK(s.preferredDns.find(',') == std::string::npos && s.alternateDns.find(',') == std::string::npos);
    // The value is read into a buffer of that size: without a zero byte in
    // it, all of it is text.
    FUZZ_CHECK(s.preferredDns.size() + s.alternateDns.size() <= adapter::kValueBuffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    MemoryRegistry reg;

    const int entries = in.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < entries; ++i) {
        const std::string key = entryKey(i);
        if (in.ConsumeBool()) reg.createKey(key);
        maybePut(in, reg, key + "\\Linkage", "UpperBind", "Tcpip");
        maybePut(in, reg, key + "\\Ndi\\Interfaces", "LowerRange", "ethernet");
        maybePut(in, reg, key, "DriverDesc", "Korvan 网卡");
        maybePut(in, reg, key, "NetCfgInstanceId", in.PickValueInArray(kIds));
    }
    for (const char* id : kIds) {
        const std::string key = interfaceKey(id);
        if (in.ConsumeBool()) reg.createKey(key);
        maybePut(in, reg, key, "EnableDHCP", "0");
        if (in.ConsumeBool()) reg.putDword(key, "EnableDHCP", in.ConsumeIntegralInRange(0, 2));
        maybePut(in, reg, key, "IPAddress", "192.168.1.2");
        maybePut(in, reg, key, "SubnetMask", "255.255.255.0");
        maybePut(in, reg, key, "DefaultGateway", "192.168.1.1");
        maybePut(in, reg, key, "NameServer", "8.8.8.8,8.8.4.4");
    }

    // The walk: entries up to the first without UpperBind, ethernet only.
    int reached = 0;
    int ethernet = 0;
    while (reg.get(entryKey(reached) + "\\Linkage", "UpperBind")) {
        const platform::RegistryValue* range = reg.get(entryKey(reached) + "\\Ndi\\Interfaces", "LowerRange");
        ethernet += isText(range) && upToZero(range->data) == "ethernet";
        ++reached;
    }
    adapter::AdapterLists lists;
    FUZZ_CHECK(adapter::枚举网卡(reg, lists) == ethernet);
    FUZZ_CHECK(lists.网卡实例表.size() == lists.网卡描述表.size());
    FUZZ_CHECK(reg.openKeys == 0);
    for (const std::string& text : lists.网卡描述表) FUZZ_CHECK(text.find('\0') == std::string::npos);

    for (const std::string& id : lists.网卡实例表) checkSettings(reg, adapter::读取网卡设置(reg, id), id);
    FUZZ_CHECK(reg.openKeys == 0);

    // Write fields from the user, then read them back.
    const std::string id = in.PickValueInArray(kIds);
    std::string fields[5];
    for (std::string& f : fields) f = in.ConsumeRandomLengthString(40);
    const bool keyThere = !id.empty() && reg.keys.count(MemoryRegistry::fold(interfaceKey(id)));
    const bool wrote = adapter::写入网卡设置(reg, id, fields[0], fields[1], fields[2], fields[3], fields[4]);
    FUZZ_CHECK(wrote == keyThere);
    FUZZ_CHECK(reg.openKeys == 0);
    if (!wrote) return 0;
    const adapter::AdapterSettings s = adapter::读取网卡设置(reg, id);
    checkSettings(reg, s, id);
    if (!s.read) return 0;
    auto plain = [](const std::string& f) {
        return f.find_first_of(std::string("\0\r\n,", 4)) == std::string::npos;
    };
    if (plain(fields[0])) FUZZ_CHECK(s.ip.compare(0, fields[0].size() + 2, fields[0] + "\r\n") == 0);
    if (plain(fields[3]) && plain(fields[4]))
        FUZZ_CHECK(s.preferredDns == fields[3] && s.alternateDns == fields[4]);
    return 0;
}
