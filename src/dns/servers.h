// The rows of the DNS test: which addresses it times, under which names,
// in which order until sorted. Each address (with its port) appears once;
// the first name it came with wins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/measure.h"

namespace dns {

struct Server {
    std::string name;      // "当前首选", "Google", "114DNS", "自定义", ...
    std::string address;   // dotted quad
    std::uint16_t port = 53;
    // The 地址 column: the address, followed by ":PORT" when not 53.
    std::string shown() const;
    Target target() const;
};

// A dotted quad as the adapter apply takes it; nullopt for anything else.
std::optional<std::uint32_t> parseAddress(std::string_view text);

// The adapter's own servers: "NameServer" (comma-separated) or, when that
// holds no address, "DhcpNameServer" (blank-separated). The first is
// "当前首选", the others "当前备用". Pieces that are not addresses are left out.
std::vector<Server> adapterServers(std::string_view nameServer, std::string_view dhcpNameServer);

// The four presets' eight addresses, with the presets' names.
std::vector<Server> presetServers();

// The public resolvers: the built-in table, or, when `environment` (the
// value of KORVAN_DNS_SERVERS) is given and not empty, its entries
// "ADDR[:PORT],..." each named by its text (entries that do not read are
// left out).
std::vector<Server> publicServers(const char* environment);

// The rows at an opening: the adapter's own servers, the presets' and the
// public table; with `environment` (KORVAN_DNS_SERVERS) given, its entries
// alone, so that a test, a benchmark or a screenshot never leaves the
// machine.
std::vector<Server> testRows(const std::vector<Server>& adapterOwn, const char* environment);

inline constexpr int kMaxAdded = 8;
inline constexpr std::string_view kCustomName = "自定义";
inline constexpr std::string_view kAddressInvalid = "地址无效";
inline constexpr std::string_view kAddressListed = "地址已在列表中";
inline constexpr std::string_view kTooManyAdded = "最多添加8个";

class ServerList {
public:
    // Appends the servers whose address and port are not in the list yet.
    void append(const std::vector<Server>& servers);
    // The user's "添加": empty when added, else the refusal to show. Not
    // empty, a dotted quad, not 0.x.x.x, below 224.0.0.0 (127.x is a local
    // resolver and fine), not listed yet, at most kMaxAdded additions.
    std::string_view add(std::string_view text);

    const std::vector<Server>& servers() const { return servers_; }
    int added() const { return added_; }

private:
    bool listed(const Server& s) const;
    std::vector<Server> servers_;
    int added_ = 0;
};

}  // namespace dns
