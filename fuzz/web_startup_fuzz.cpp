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
#include "shell/announcements.h"
#include "shell/app.h"
#include "shell/web_startup.h"

namespace {

const std::string kUpdate = "http://update.test";
const std::string kLookup = "http://ip.test";

void servePage(FuzzedDataProvider& in, ScriptedHttp& http, const std::string& url) {
    const bool fails = in.ConsumeBool();
    std::string body = in.ConsumeRandomLengthString(256);
    if (!fails) http.page(url, std::move(body));
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
    servePage(in, t.http, kUpdate + "/e/md5.htm");
    servePage(in, t.http, kUpdate + "/e/cc.htm");
    servePage(in, t.http, kUpdate + "/e/gg.htm");
    servePage(in, t.http, kUpdate + "/e/tt.htm");
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

    auto page = [&](const std::string& url) {
        auto it = t.http.pages.find(url);
        return it == t.http.pages.end() ? std::string() : it->second.body;
    };
    const std::string version = shell::pageText(page(kUpdate + "/e/md5.htm"));
    const std::string noticeSwitch = shell::pageText(page(kUpdate + "/e/cc.htm"));
    FUZZ_CHECK(main->text("编辑框4") == version);
    FUZZ_CHECK(main->text("编辑框5") == noticeSwitch);
    for (const char* unit : {"编辑框3", "编辑框4", "编辑框5", "标签1", "标签3", "标签11"})
        FUZZ_CHECK(fuzz::validUtf8(main->text(unit)));

    int noticeFetches = 0;
    for (const std::string& url : t.http.started) noticeFetches += url == kUpdate + "/e/tt.htm";
    const shell::Notice due = shell::noticeFor(version, noticeSwitch);
    FUZZ_CHECK(noticeFetches == (due == shell::Notice::StartupText ? 1 : 0));
    if (version.empty() || version == "1.1") FUZZ_CHECK(due != shell::Notice::NewVersion);
    if (due != shell::Notice::StartupText) FUZZ_CHECK(noticeSwitch != "1" || due == shell::Notice::NewVersion);

    if (due == shell::Notice::None) {
        FUZZ_CHECK(t.dialogs.shown.empty());
    } else {
        FUZZ_CHECK(t.dialogs.shown.size() == 1);
        FUZZ_CHECK(t.dialogs.shown[0].title == shell::kNoticeTitle);
        FUZZ_CHECK(t.dialogs.shown[0].text == (due == shell::Notice::NewVersion
                                                   ? std::string(shell::kNewVersionText)
                                                   : shell::pageText(page(kUpdate + "/e/tt.htm"))));
    }
    // Cookies go only to the service's own host.
    for (const auto& c : t.transport.cookies) FUZZ_CHECK(c.url == "http://ip.test");
    return 0;
}
