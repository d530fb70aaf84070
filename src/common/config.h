// Fixed configuration: the tool's version, the maker's addresses and the
// base addresses of the three web services. The service addresses can be
// overridden by environment variables, for tests and for users who host
// their own services.
#pragma once

#include <string>
#include <string_view>

namespace config {

inline constexpr std::string_view kVersion = "1.1";
inline constexpr std::string_view kProductName = "Korvan网络小工具";
inline constexpr std::string_view kMakerName = "Korvan工作室";
inline constexpr std::string_view kMakerAddress = "http://www.korvan.example";
// The feedback address: the about window's link shows it and mails to it.
inline constexpr std::string_view kMakerEmail = "kf@korvan.example";

// Main window title: product, version, then the maker's address in brackets.
std::string mainTitle();

// Base addresses without a trailing "/" for the update and IP-lookup
// services; the whois base ends with "/" (the domain is appended directly).
std::string updateBase();     // KORVAN_UPDATE_URL
std::string ipLookupBase();   // KORVAN_IPLOOKUP_URL
std::string whoisBase();      // KORVAN_WHOIS_URL

}  // namespace config
