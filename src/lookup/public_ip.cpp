#include "lookup/public_ip.h"

#include "common/gbktext.h"
#include "platform/codec.h"

namespace lookup {
namespace {

const std::string& secondSource() {
    static const std::string s = codec::utf8ToGbk("参考数据二：");   // 12 bytes
    return s;
}

const std::string& invalidAddress() {
    static const std::string s = codec::utf8ToGbk("无效的IP地址");
    return s;
}

constexpr std::string_view kLocationEnd = "</li></ul></td>";

}  // namespace

std::string scrapeAddress(std::string_view page) {
    int a = gbk::find(page, "[");
    int b = gbk::find(page, "]");
    return gbk::mid(page, a + 1, b - a - 1);
}

std::string locationBody(std::string_view address) { return "ip=" + std::string(address) + "&action=2"; }

std::string scrapeLocation(std::string_view page) {
    int p = gbk::find(page, secondSource());
    int q = gbk::find(page, kLocationEnd);
    return gbk::mid(page, p + 12, q - 12 - p);
}

bool rejected(std::string_view page) { return gbk::find(page, invalidAddress()) >= 1; }

void showLocation(ui::Form& main, std::string_view page) {
    if (rejected(page)) {
        main.setText("编辑框3", "无法获取地理位置信息");
        main.focus("编辑框3");
    }
    main.setText("标签3", "\r\n你的地理位置为：【" + codec::gbkToUtf8(scrapeLocation(page)) + "】");
}

}  // namespace lookup
