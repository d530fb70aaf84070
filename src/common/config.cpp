#include "common/config.h"

#include <cstdlib>

namespace config {
namespace {

std::string fromEnv(const char* name, std::string_view fallback) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
    return std::string(fallback);
}

}  // namespace

std::string mainTitle() {
    return std::string(kProductName) + " V" + std::string(kVersion) + " [" + std::string(kMakerAddress) + "]";
}

std::string updateBase() { return fromEnv("KORVAN_UPDATE_URL", "http://update.korvan.example"); }
std::string ipLookupBase() { return fromEnv("KORVAN_IPLOOKUP_URL", "http://ip.korvan.example"); }
std::string whoisBase() { return fromEnv("KORVAN_WHOIS_URL", "http://whois.korvan.example/whois/"); }

}  // namespace config
