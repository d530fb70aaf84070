#include "adapter/settings.h"

#include <cstdint>
#include <cstdio>
#include <tuple>

namespace adapter {

using platform::RegistryAccess;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;

void AdapterLists::clear() {
    网卡描述表.clear();
    网卡实例表.clear();
    driverKeys.clear();
}

void AdapterLists::append(std::string description, std::string instance, std::string driverKey) {
    网卡描述表.push_back(std::move(description));
    网卡实例表.push_back(std::move(instance));
    driverKeys.push_back(std::move(driverKey));
}

int 枚举网卡(platform::Registry& registry, AdapterLists& lists) {
    const RegistryRoot hklm = RegistryRoot::LocalMachine;
    for (int i = 0; i <= 9999; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%04d", i);
        const std::string entry = std::string(kClassKey) + name;
        if (!platform::valueExists(registry, hklm, entry + "\\Linkage\\UpperBind")) break;
        if (platform::readTextValue(registry, hklm, entry + "\\Ndi\\Interfaces\\LowerRange") != "ethernet") continue;
        lists.append(platform::readTextValue(registry, hklm, entry + "\\DriverDesc"),
                     platform::readTextValue(registry, hklm, entry + "\\NetCfgInstanceId"),
                     std::string(kDriverKeyPrefix) + name);
    }
    return lists.size();
}

namespace {

// An adapter's interface key. An empty instance identifier names no
// adapter (the path would be the parent of all interface keys): the caller
// treats it as a key that cannot be opened.
RegistryKey interfaceKey(platform::Registry& registry, std::string_view instanceId, RegistryAccess access) {
    return RegistryKey(registry, RegistryRoot::LocalMachine, std::string(kInterfacesKey) + std::string(instanceId),
                       access);
}

enum class Expect { Number, Text };

// The value in a zero-filled buffer of kValueBuffer bytes; all zero when it
// is missing, of the wrong kind or too large for the buffer.
std::string queryBuffer(const RegistryKey& key, std::string_view name, Expect expect) {
    std::string buffer(kValueBuffer, '\0');
    auto value = key.query(name);
    if (!value || value->data.size() > kValueBuffer) return buffer;
    if (platform::isStringType(value->type) != (expect == Expect::Text)) return buffer;
    buffer.replace(0, value->data.size(), value->data);
    return buffer;
}

}  // namespace

std::string multiStringLines(std::string_view buffer) {
    std::string out;
    out.reserve(buffer.size() * 2);
    for (char c : buffer) {
        if (c == '\0') out += "\r\n";
        else out += c;
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    return out;
}

std::pair<std::string, std::string> splitNameServer(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string_view> pieces;
    if (!text.empty()) {
        for (;;) {
            const size_t comma = text.find(',');
            pieces.push_back(text.substr(0, comma));
            if (comma == std::string_view::npos) break;
            text.remove_prefix(comma + 1);
        }
        if (pieces.back().empty()) pieces.pop_back();   // the text ended with a comma
    }
    std::pair<std::string, std::string> dns;
    if (pieces.size() >= 1) dns.first = std::string(pieces[0]);
    if (pieces.size() >= 2) dns.second = std::string(pieces[1]);
    return dns;
}

AdapterSettings 读取网卡设置(platform::Registry& registry, std::string_view instanceId) {
    AdapterSettings s;
    if (instanceId.empty()) return s;
    RegistryKey key = interfaceKey(registry, instanceId, RegistryAccess::Read);
    if (!key) return s;

    const std::string dhcp = queryBuffer(key, "EnableDHCP", Expect::Number);
    std::uint32_t enabled = 0;
    for (int i = 3; i >= 0; --i) enabled = (enabled << 8) | static_cast<unsigned char>(dhcp[i]);
    if (enabled != 0) return s;

    s.ip = multiStringLines(queryBuffer(key, "IPAddress", Expect::Text));
    s.mask = multiStringLines(queryBuffer(key, "SubnetMask", Expect::Text));
    s.gateway = multiStringLines(queryBuffer(key, "DefaultGateway", Expect::Text));
    std::tie(s.preferredDns, s.alternateDns) = splitNameServer(queryBuffer(key, "NameServer", Expect::Text));
    s.read = true;
    return s;
}

NameServerTexts nameServerTexts(platform::Registry& registry, std::string_view instanceId) {
    NameServerTexts texts;
    RegistryKey key = interfaceKey(registry, instanceId, RegistryAccess::Read);
    auto text = [&](std::string_view name) {
        auto value = key.query(name);
        if (!value || !platform::isStringType(value->type)) return std::string();
        return value->data.substr(0, value->data.find('\0'));
    };
    texts.nameServer = text("NameServer");
    texts.dhcpNameServer = text("DhcpNameServer");
    return texts;
}

std::string encodeMultiString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '\0';
            ++i;
        } else {
            out += text[i];
        }
    }
    out.append(2, '\0');
    const std::string_view three("\0\0\0", 3);
    if (out.size() >= 3 && std::string_view(out).substr(out.size() - 3) == three) {
        std::string squeezed;
        squeezed.reserve(out.size());
        for (size_t i = 0; i < out.size();) {
            if (std::string_view(out).substr(i, 3) == three) {
                squeezed.append(2, '\0');
                i += 3;
            } else {
                squeezed += out[i++];
            }
        }
        out = std::move(squeezed);
    }
    return out;
}

bool 写入网卡设置(platform::Registry& registry, std::string_view instanceId, std::string_view ip,
                  std::string_view mask, std::string_view gateway, std::string_view preferredDns,
                  std::string_view alternateDns) {
    if (instanceId.empty()) return false;
    RegistryKey key = interfaceKey(registry, instanceId, RegistryAccess::ReadWrite);
    if (!key) return false;
    std::string dns = std::string(preferredDns) + "," + std::string(alternateDns);
    dns += '\0';
    return key.set("IPAddress", RegistryType::MultiString, encodeMultiString(ip)) &&
           key.set("SubnetMask", RegistryType::MultiString, encodeMultiString(mask)) &&
           key.set("DefaultGateway", RegistryType::MultiString, encodeMultiString(gateway)) &&
           key.set("NameServer", RegistryType::String, dns);
}

}  // namespace adapter
