#include "dns/servers.h"

#include "adapter/apply_verb.h"
#include "adapter/panel.h"

namespace dns {

namespace {

struct Known {
    std::string_view name, address;
};

constexpr std::string_view kPresetNames[] = {"Google", "四川电信", "四川联通", "中国铁通"};

constexpr Known kPublic[] = {
    {"114DNS", "114.114.114.114"},  {"114DNS", "114.114.115.115"}, {"阿里DNS", "223.5.5.5"},
    {"阿里DNS", "223.6.6.6"},       {"腾讯DNSPod", "119.29.29.29"}, {"百度DNS", "180.76.76.76"},
    {"Cloudflare", "1.1.1.1"},      {"Cloudflare", "1.0.0.1"},      {"Quad9", "9.9.9.9"},
    {"OpenDNS", "208.67.222.222"},
};

std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> out;
    for (;;) {
        const size_t at = text.find(sep);
        out.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return out;
        text.remove_prefix(at + 1);
    }
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<Server> named(std::vector<std::string_view> pieces) {
    std::vector<Server> out;
    for (std::string_view p : pieces) {
        p = trim(p);
        if (!parseAddress(p)) continue;
        out.push_back({out.empty() ? "当前首选" : "当前备用", std::string(p)});
    }
    return out;
}

}  // namespace

std::string Server::shown() const { return port == 53 ? address : address + ":" + std::to_string(port); }

Target Server::target() const { return {parseAddress(address).value_or(0), port}; }

std::optional<std::uint32_t> parseAddress(std::string_view text) {
    if (text.empty() || !adapter::isFieldText(text)) return std::nullopt;
    std::uint32_t value = 0;
    for (std::string_view part : split(text, '.')) {
        unsigned n = 0;
        for (char c : part) n = n * 10 + static_cast<unsigned>(c - '0');
        value = (value << 8) | n;
    }
    return value;
}

std::vector<Server> adapterServers(std::string_view nameServer, std::string_view dhcpNameServer) {
    auto fromStatic = named(split(nameServer, ','));
    if (!fromStatic.empty()) return fromStatic;
    return named(split(dhcpNameServer, ' '));
}

std::vector<Server> presetServers() {
    std::vector<Server> out;
    for (size_t i = 0; i < adapter::kPresets.size(); ++i) {
        const std::string name(kPresetNames[i]);
        out.push_back({name, std::string(adapter::kPresets[i].preferred)});
        out.push_back({name, std::string(adapter::kPresets[i].alternate)});
    }
    return out;
}

std::vector<Server> publicServers(const char* environment) {
    std::vector<Server> out;
    if (!environment || !*environment) {
        for (const Known& k : kPublic) out.push_back({std::string(k.name), std::string(k.address)});
        return out;
    }
    for (std::string_view entry : split(environment, ',')) {
        entry = trim(entry);
        const size_t colon = entry.find(':');
        const std::string_view address = entry.substr(0, colon);
        if (!parseAddress(address)) continue;
        unsigned port = 53;
        if (colon != std::string_view::npos) {
            const std::string_view digits = entry.substr(colon + 1);
            if (digits.empty() || digits.size() > 5) continue;
            port = 0;
            for (char c : digits) port = (c >= '0' && c <= '9') ? port * 10 + static_cast<unsigned>(c - '0') : 70000;
            if (port == 0 || port > 65535) continue;
        }
        out.push_back({std::string(entry), std::string(address), static_cast<std::uint16_t>(port)});
    }
    return out;
}

std::vector<Server> testRows(const std::vector<Server>& adapterOwn, const char* environment) {
    ServerList list;
    if (!environment || !*environment) {
        list.append(adapterOwn);
        list.append(presetServers());
    }
    list.append(publicServers(environment));
    return list.servers();
}

bool ServerList::listed(const Server& s) const {
    for (const Server& have : servers_)
        if (have.address == s.address && have.port == s.port) return true;
    return false;
}

void ServerList::append(const std::vector<Server>& servers) {
    for (const Server& s : servers)
        if (!listed(s)) servers_.push_back(s);
}

std::string_view ServerList::add(std::string_view text) {
    const auto address = parseAddress(text);
    if (!address || (*address >> 24) == 0 || (*address >> 24) >= 224) return kAddressInvalid;
    Server s{std::string(kCustomName), std::string(text)};
    if (listed(s)) return kAddressListed;
    if (added_ >= kMaxAdded) return kTooManyAdded;
    servers_.push_back(std::move(s));
    ++added_;
    return {};
}

}  // namespace dns
