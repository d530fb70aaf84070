// The IP-lookup scraper over any page: what it takes is a piece of the
// page found between the markers, the location line shown is valid UTF-8
// and the failure text appears only for a page that says so.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "check.h"
#include "common/gbktext.h"
#include "lookup/public_ip.h"
#include "platform/codec.h"
#include "resources/layouts.h"
#include "ui/memory_form.h"

namespace {

bool inside(std::string_view piece, std::string_view page) {
    return piece.empty() || page.find(piece) != std::string_view::npos;
}

// Whether the page ends on a whole character (no lead byte left open).
bool wholeCharacters(std::string_view page) {
    size_t i = 0;
    while (i < page.size()) i += static_cast<unsigned char>(page[i]) >= 0x80 ? 2 : 1;
    return i == page.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);

    const std::string address = lookup::scrapeAddress(page);
    FUZZ_CHECK(inside(address, page));
    if (!address.empty()) {
        // Taken from right after the first "[" and ending right before the
        // first "]".
        const int open = gbk::find(page, "[");
        FUZZ_CHECK(open >= 1 && page.compare(static_cast<size_t>(open), address.size(), address) == 0);
        FUZZ_CHECK(gbk::find(page, "]") == open + 1 + static_cast<int>(address.size()));
    }
    // A page with the address alone in brackets gives it back.
    if (page.find_first_of("[]") == std::string::npos && wholeCharacters(page))
        FUZZ_CHECK(lookup::scrapeAddress("x[" + page + "]y") == page);

    const std::string location = lookup::scrapeLocation(page);
    FUZZ_CHECK(inside(location, page));
    FUZZ_CHECK(lookup::locationBody(page) == "ip=" + page + "&action=2");

    ui::MemoryForm main(layouts::mainWindow());
    lookup::showLocation(main, gbk::bytesToText(page));
    const std::string shown = main.text("标签3");
    FUZZ_CHECK(fuzz::validUtf8(shown));
    FUZZ_CHECK(shown.starts_with("\r\n你的地理位置为：【") && shown.ends_with("】"));
    const std::string failure = main.text("编辑框3");
    FUZZ_CHECK(failure.empty() || failure == "无法获取地理位置信息");
    if (!failure.empty()) FUZZ_CHECK(page.find(codec::utf8ToGbk("无效的IP地址")) != std::string::npos);
    return 0;
}
