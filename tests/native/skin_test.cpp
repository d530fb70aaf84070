#include <gtest/gtest.h>

#include <climits>

#include "fakes.h"
#include "resources/layouts.h"
#include "shell/skin.h"
#include "skin/palette.h"

namespace {

struct RecordingSkin : platform::Skin {
    std::vector<std::string>& log;
    bool loads = true;   // whether the file holds our image
    explicit RecordingSkin(std::vector<std::string>& l) : log(l) {}
    std::string libraryImage() override { return "MZ-library"; }
    std::string dataImage() override { return ".SHE-data"; }
    bool load(std::string_view path, std::string_view image) override {
        log.push_back("load " + std::string(path) + " " + std::string(image));
        return loads;
    }
    void attach() override { log.push_back("attach"); }
    void adjustHsv(int h, int s, int b) override {
        log.push_back("hsv " + std::to_string(h) + " " + std::to_string(s) + " " + std::to_string(b));
    }
    void setAero(int on) override { log.push_back("aero " + std::to_string(on)); }
};

}  // namespace

TEST(SkinFiles, WrittenHiddenThenAttachedAndTurned) {
    TestServices t;
    std::vector<std::string> calls;
    RecordingSkin lib(calls);
    shell::SkinFiles skin{lib, t.files, t.system};
    skin.attach();
    EXPECT_EQ(t.files.ops, (std::vector<std::string>{"write C:\\tool\\SkinH_EL.dll", "write C:\\tool\\skinh.she",
                                                      "attr C:\\tool\\skinh.she 2", "attr C:\\tool\\SkinH_EL.dll 2"}));
    EXPECT_EQ(t.files.files["C:\\tool\\SkinH_EL.dll"], "MZ-library");
    EXPECT_EQ(t.files.files["C:\\tool\\skinh.she"], ".SHE-data");
    EXPECT_EQ(calls, (std::vector<std::string>{"load C:\\tool\\SkinH_EL.dll MZ-library", "attach", "hsv 130 0 0"}));

    t.files.ops.clear();
    skin.remove();
    EXPECT_EQ(t.files.ops, (std::vector<std::string>{"remove C:\\tool\\skinh.she", "remove C:\\tool\\SkinH_EL.dll"}));

    // A file that is not ours is not loaded: no skin call at all.
    calls.clear();
    lib.loads = false;
    skin.attach();
    EXPECT_EQ(calls, (std::vector<std::string>{"load C:\\tool\\SkinH_EL.dll MZ-library"}));
}

TEST(SkinFiles, EffectSwitchFlipsCaptionCheckAndGlass) {
    TestServices t;
    std::vector<std::string> calls;
    RecordingSkin lib(calls);
    shell::SkinFiles skin{lib, t.files, t.system};
    ui::MemoryForm main(layouts::mainWindow());
    const auto item = layouts::kMenuEffect;
    EXPECT_EQ(main.text(item), "开启特效");
    EXPECT_TRUE(calls.empty());   // no glass call before the first choice

    skin.switchEffect(main, item);
    EXPECT_EQ(main.text(item), "关闭特效");
    EXPECT_TRUE(main.checked(item));
    skin.switchEffect(main, item);
    EXPECT_EQ(main.text(item), "开启特效");
    EXPECT_FALSE(main.checked(item));
    EXPECT_EQ(calls, (std::vector<std::string>{"aero 1", "aero 0"}));
}

TEST(SkinPalette, DataFileRoundTripAndRejects) {
    skin::Palette p = skin::builtInPalette();
    p.colour[skin::kAccent] = skin::rgb(1, 2, 3);
    std::string bytes = skin::serializePalette(p);
    EXPECT_EQ(bytes.substr(0, 4), ".SHE");
    auto back = skin::parsePalette(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->colour, p.colour);
    EXPECT_FALSE(skin::parsePalette("MZ\x90\x00"));
    EXPECT_FALSE(skin::parsePalette(bytes.substr(0, bytes.size() - 1)));   // truncated entry
    std::string wrongVersion = bytes;
    wrongVersion[4] = 9;
    EXPECT_FALSE(skin::parsePalette(wrongVersion));
}

TEST(SkinPalette, HueTurnsBackAndGreysStay) {
    const skin::Colour accent = skin::rgb(0x1F, 0x78, 0xC8);
    skin::Colour turned = skin::adjustColour(accent, -130, 0, 0);
    EXPECT_NE(turned, accent);
    skin::Colour back = skin::adjustColour(turned, 130, 0, 0);
    EXPECT_LE(std::abs(int(skin::red(back)) - 0x1F), 1);
    EXPECT_LE(std::abs(int(skin::green(back)) - 0x78), 1);
    EXPECT_LE(std::abs(int(skin::blue(back)) - 0xC8), 1);
    // White and grey have no hue; saturation 0 keeps them, brightness scales.
    EXPECT_EQ(skin::adjustColour(skin::rgb(255, 255, 255), 130, 0, 0), skin::rgb(255, 255, 255));
    EXPECT_EQ(skin::adjustColour(skin::rgb(200, 200, 200), 77, 50, 0), skin::rgb(200, 200, 200));
    EXPECT_EQ(skin::adjustColour(skin::rgb(200, 100, 50), 0, 0, -100), skin::rgb(0, 0, 0));
    // Pure red turned by 120 degrees is pure green.
    EXPECT_EQ(skin::adjustColour(skin::rgb(255, 0, 0), 120, 0, 0), skin::rgb(0, 255, 0));
}

TEST(SkinPalette, AmountsAtTheEndsOfIntClampInsteadOfOverflowing) {
    // The exported turn takes any int; 100 + INT_MAX used to overflow.
    const skin::Colour c = skin::rgb(200, 100, 50);
    EXPECT_EQ(skin::adjustColour(c, 0, INT_MAX, 0), skin::rgb(200, 67, 0));     // fully saturated
    const skin::Colour bright = skin::adjustColour(c, 0, 0, INT_MAX);           // brightest
    EXPECT_EQ(skin::red(bright), 255u);
    EXPECT_NEAR(skin::green(bright), 128, 1);
    EXPECT_EQ(skin::blue(bright), 64u);
    EXPECT_EQ(skin::adjustColour(c, INT_MIN, INT_MIN, INT_MIN), skin::rgb(0, 0, 0));
    EXPECT_EQ(skin::adjustColour(skin::rgb(90, 90, 90), INT_MAX, INT_MIN, 0), skin::rgb(90, 90, 90));
}
