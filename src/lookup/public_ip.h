// Public IP address and its location, scraped from the IP-lookup service's
// pages. The scraping runs on the GBK bytes of the pages exactly as the
// service writes them; texts are converted to UTF-8 only for display.
#pragma once

#include <string>
#include <string_view>

#include "ui/form.h"

namespace lookup {

// Pages of the IP-lookup service.
inline constexpr std::string_view kAddressPage = "/ip2city.asp";
inline constexpr std::string_view kLocationPage = "/ips.asp";

// The bytes between the page's first "[" and its first "]"; empty when
// either is missing or "]" comes first.
std::string scrapeAddress(std::string_view pageGbk);

// The form body posted for an address (GBK bytes; the address unchanged).
std::string locationBody(std::string_view addressGbk);

// The text after "参考数据二：" up to the page's first "</li></ul></td>",
// the same byte arithmetic applied when a marker is missing.
std::string scrapeLocation(std::string_view pageGbk);

// Does the page say the service rejected the address?
bool rejected(std::string_view pageGbk);

// Shows the result page of the location request: the failure text in
// 编辑框3 (with the focus) when the address was rejected, and the location
// line in 标签3 in any case.
void showLocation(ui::Form& main, std::string_view pageGbk);

}  // namespace lookup
