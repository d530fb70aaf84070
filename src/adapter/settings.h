// The adapters of the machine and their TCP/IP settings in the registry:
// the walk over the network adapter class key, and the read and write of an
// adapter's interface key. No window here; the panel (panel.h) uses these.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace adapter {

// The network adapter class key, spelled as Windows spells it in its own
// references (lower-case "b"); key names are case-insensitive anyway.
inline constexpr std::string_view kClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002bE10318}\\";
// An entry of the class key as the device functions name it (a device's
// driver key, SPDRP_DRIVER), followed by the entry's four digits.
inline constexpr std::string_view kDriverKeyPrefix = "{4d36e972-e325-11ce-bfc1-08002be10318}\\";
// Followed by an adapter's instance identifier.
inline constexpr std::string_view kInterfacesKey = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

// The adapters found, in the order of the walk. Entry k (from 1) of the
// two lists belongs to one adapter; the lists always have the same length.
// Beside them, the entry each adapter was read from, as its driver key.
struct AdapterLists {
    std::vector<std::string> 网卡描述表;   // "DriverDesc", shown to the user
    std::vector<std::string> 网卡实例表;   // "NetCfgInstanceId", names the interface key
    std::vector<std::string> driverKeys;   // kDriverKeyPrefix + the entry's digits

    int size() const { return static_cast<int>(网卡描述表.size()); }
    void clear();
    void append(std::string description, std::string instance, std::string driverKey = {});
};

// The walk: entries 0000, 0001, ... of the class key until the first one
// without "Linkage\UpperBind" (at most 0000..9999); an entry whose
// "Ndi\Interfaces\LowerRange" is exactly "ethernet" is appended to `lists`
// (a missing or non-string value as an empty text), with the entry's driver
// key beside it. Returns the number of entries in 网卡描述表.
int 枚举网卡(platform::Registry& registry, AdapterLists& lists);

// Size of the buffer each interface value is read into; a larger value is
// taken as missing.
inline constexpr size_t kValueBuffer = 256;

struct AdapterSettings {
    bool read = false;   // the key opened and the adapter does not use DHCP
    std::string ip, mask, gateway, preferredDns, alternateDns;
};

// The five texts of an adapter's interface key. All empty when the key
// cannot be opened or "EnableDHCP" is non-zero. The address texts are the
// multi-string buffer with its strings as lines (see multiStringLines); the
// DNS texts the first two comma-separated pieces of "NameServer". A value
// of another type than the one Windows stores (a number for "EnableDHCP",
// text for the others) counts as missing.
AdapterSettings 读取网卡设置(platform::Registry& registry, std::string_view instanceId);

// "NameServer" and "DhcpNameServer" of an adapter's interface key, each up
// to its first zero; a missing value or one that is not text gives "".
// Both empty when the key cannot be opened.
struct NameServerTexts {
    std::string nameServer, dhcpNameServer;
};
NameServerTexts nameServerTexts(platform::Registry& registry, std::string_view instanceId);

// Writes "IPAddress", "SubnetMask", "DefaultGateway" (multi-strings) and
// "NameServer" (preferred + "," + alternate) in this order. False when the
// key cannot be opened for writing or a write fails; values written before
// the failure stay. "EnableDHCP" is never touched.
bool 写入网卡设置(platform::Registry& registry, std::string_view instanceId, std::string_view ip,
                  std::string_view mask, std::string_view gateway, std::string_view preferredDns,
                  std::string_view alternateDns);

// A field's text as multi-string data: each CR LF becomes a zero byte, two
// zero bytes are appended, and when the result then ends in three zero bytes
// every run of three (left to right, no overlap) becomes two.
// "192.168.1.10" -> 14 bytes, "" -> two zero bytes, "a\r\n" -> "a\0\0".
std::string encodeMultiString(std::string_view text);

// A zero-filled value buffer as text: every zero byte becomes CR LF and the
// last two bytes of the result are dropped, so the strings become lines
// followed by empty lines.
std::string multiStringLines(std::string_view buffer);

// "NameServer" text (up to its first zero) -> preferred and alternate DNS:
// the first two pieces between commas; a trailing comma gives no empty last
// piece, an empty text no piece.
std::pair<std::string, std::string> splitNameServer(std::string_view text);

}  // namespace adapter
