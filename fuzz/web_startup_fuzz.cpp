// The web part of start-up over any server texts: the version, notice
// switch, announcement, notice, address and location pages (each may also
// fail). What lands in the window is valid UTF-8, the version text is
// stored exactly, at most one notice shows and it is the one the texts
// call for, and the notice page is asked for only when it is due.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "check.h"
#include "fakes.h"
#include "platform/codec.h"
#include "shell/app.h"
#include "shell/web_startup.h"

namespace {

const std::string kUpdate = "http://update.test";
const std::string kLookup = "http://ip.test";

// Serves a page of random bytes, or lets it fail; returns the bytes the
// tool receives ("" for a failed page).
std::string servePage(FuzzedDataProvider& in, ScriptedHttp& http, const std::string& url) {
    const bool fails = in.ConsumeBool();
    std::string body = in.ConsumeRandomLengthString(256);
    if (fails) return {};
    http.page(url, body);
    return body;
}

// The oracle, from the received bytes alone. A page is its bytes up to the
// first zero byte. A version text that is neither empty nor exactly "1.1"
// announces a new version; otherwise a switch of exactly "1" calls for the
// notice page; anything else shows nothing.
enum class Expected { None, NewVersion, NoticePage };

std::string upToZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

Expected expectedNotice(const std::string& versionBytes, const std::string& switchBytes) {
    const std::string version = upToZero(versionBytes);
    if (!version.empty() && version != "1.1") return Expected::NewVersion;
    return upToZero(switchBytes) == "1" ? Expected::NoticePage : Expected::None;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("KORVAN_UPDATE_URL", kUpdate.c_str(), 1);
    setenv("KORVAN_IPLOOKUP_URL", kLookup.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TestServices t;
    t.windows.onModal = [](ui::MemoryForm& f) { f.fire("", ui::Event::Deactivated); };
    const std::string versionBytes = servePage(in, t.http, kUpdate + "/e/md5.htm");
    const std::string switchBytes = servePage(in, t.http, kUpdate + "/e/cc.htm");
    servePage(in, t.http, kUpdate + "/e/gg.htm");
    const std::string noticeBytes = servePage(in, t.http, kUpdate + "/e/tt.htm");
    servePage(in, t.http, kLookup + "/ip2city.asp");
    const bool locationFails = in.ConsumeBool();
    t.transport.reply.rawHeaders = in.ConsumeRandomLengthString(256);
    t.transport.reply.body = in.ConsumeRemainingBytesAsString();
    t.transport.reply.end = locationFails ? platform::FetchEnd::Failed : platform::FetchEnd::Complete;

    shell::App app(t.services);
    shell::WebStartup web(t.http, app.state().http, t.dialogs);
    web.bind(app.steps());
    ui::Form* main = app.openMainWindow();
    FUZZ_CHECK(main != nullptr);

    // The texts are stored as received, only converted from GBK.
    FUZZ_CHECK(main->text("编辑框4") == codec::gbkToUtf8(upToZero(versionBytes)));
    FUZZ_CHECK(main->text("编辑框5") == codec::gbkToUtf8(upToZero(switchBytes)));
    for (const char* unit : {"编辑框3", "编辑框4", "编辑框5", "标签1", "标签3", "标签11"})
        FUZZ_CHECK(fuzz::validUtf8(main->text(unit)));

    int noticeFetches = 0;
    for (const std::string& url : t.http.started) noticeFetches += url == kUpdate + "/e/tt.htm";
    const Expected due = expectedNotice(versionBytes, switchBytes);
    FUZZ_CHECK(noticeFetches == (due == Expected::NoticePage ? 1 : 0));

    if (due == Expected::None) {
        FUZZ_CHECK(t.dialogs.shown.empty());
    } else {
        FUZZ_CHECK(t.dialogs.shown.size() == 1);
        FUZZ_CHECK(t.dialogs.shown[0].title == "系统提示");
        FUZZ_CHECK(t.dialogs.shown[0].text == (due == Expected::NewVersion
                                                   ? std::string("已经有新的版本发布，请点击【检测更新】下载新的版本使用！")
                                                   : codec::gbkToUtf8(upToZero(noticeBytes))));
    }
    // Cookies go only to the service's own host.
    for (const auto& c : t.transport.cookies) FUZZ_CHECK(c.url == "http://ip.test");
    return 0;
}
