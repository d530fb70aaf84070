// Config.ini as a user or another program may leave it: values far over the
// reader's limit, texts that are not the cipher's form, entries outside any
// section, a UTF-8 file with a byte-order mark. Loading never fails and
// shows what the reader documents; saving keeps everything else.
#include <gtest/gtest.h>

#include "ftp/cipher.h"
#include "ftp/client.h"
#include "ftp/ini.h"
#include "ftp_fakes.h"
#include "platform/codec.h"
#include "resources/layouts.h"

namespace {

constexpr char kConfig[] = "C:\\tool\\Config.ini";
std::string g(std::string_view utf8) { return codec::utf8ToGbk(utf8); }

struct HostileConfig : ::testing::Test {
    FtpTestServices t;
    ui::MemoryForm main{layouts::mainWindow()};
    ftp::FtpClient client{t.ftpServices};
    void SetUp() override { client.bindLoginPanel(main); }

    std::string& file() { return t.files.files[kConfig]; }
    std::string stored(std::string_view key) { return ftp::iniRead(file(), g("登陆信息"), g(key)); }
    // Saves the boxes as they are: the three values must read back as the
    // boxes' GBK texts.
    void save() {
        main.setChecked("保存选择框", false);
        main.click("保存选择框");
        ASSERT_TRUE(main.checked("保存选择框"));
        for (auto [key, box] : {std::pair{"地址", "地址编辑框"}, {"帐号", "用户编辑框"}, {"密码", "密码编辑框"}})
            EXPECT_EQ(ftp::decipher(stored(key)), codec::utf8ToGbk(main.text(box))) << key;
    }
};

}  // namespace

TEST_F(HostileConfig, ValuesOverTheLimitAreReadUpToIt) {
    // 7000 bytes enciphered: a value of 21000 characters. The reader takes
    // 10239 of them, that is 3413 whole bytes.
    const std::string longAddress(7000, 'h');
    file() = g("[登陆信息]\r\n地址=") + ftp::encipher(longAddress) + g("\r\n帐号=") + ftp::encipher("web") +
             "\r\n[other]\r\nkeep=" + std::string(20 << 10, 'k') + "\r\n";
    client.loadSavedLogin(main);
    save();
    EXPECT_EQ(main.text("地址编辑框"), std::string(3413, 'h'));
    EXPECT_EQ(main.text("用户编辑框"), "web");
    EXPECT_EQ(ftp::iniRead(file(), "other", "keep"), std::string(ftp::kIniValueMax, 'k'));
    EXPECT_NE(file().find("keep=" + std::string(20 << 10, 'k') + "\r\n"), std::string::npos) << "kept whole";
    EXPECT_EQ(file().find(ftp::encipher(longAddress)), std::string::npos) << "the long value was replaced";
}

TEST_F(HostileConfig, OddLengthAndNonHexValuesDecipherAsDocumented) {
    // The first key-stream bytes of the fixed key are 33 1A 6C 9A, and "web"
    // enciphers to "44,7F,0E,". Cut after seven characters, the odd last
    // digit is a byte of its own (00): "we" and 00 ^ 6C.
    file() = g("[登陆信息]\r\n地址=") + "44,7F,0" + g("\r\n帐号=zz,QQ,\r\n密码=") + "zzzz-qq" + "\r\n";
    client.loadSavedLogin(main);
    save();
    EXPECT_EQ(ftp::decipher("44,7F,0"), "wel");
    EXPECT_EQ(main.text("地址编辑框"), "wel");
    // Other characters count as the digit 0, so the bytes are the key
    // stream itself; a lone GBK lead byte at the end shows as U+FFFD.
    EXPECT_EQ(ftp::decipher("zz,QQ,"), "\x33\x1A");
    EXPECT_EQ(main.text("用户编辑框"), "\x33\x1A");
    EXPECT_EQ(ftp::decipher("zzzz-qq"), "\x33\x1A\x6C\x9A");
    EXPECT_EQ(main.text("密码编辑框"), "\x33\x1A\x6C\xEF\xBF\xBD");
}

TEST_F(HostileConfig, EntriesOutsideAnySectionAreNotTheLogin) {
    file() = g("地址=") + ftp::encipher("host") + "\r\nstray line\r\n";
    main.setText("地址编辑框", "typed");
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "");
    main.setText("地址编辑框", "saved");
    save();
    EXPECT_EQ(file().substr(0, file().find("[")), g("地址=") + ftp::encipher("host") + "\r\nstray line\r\n");
}

TEST_F(HostileConfig, Utf8FileWithAByteOrderMarkIsKeptAndAddedTo) {
    // Saved by an editor as UTF-8: the names are not the GBK names, and the
    // first line starts with the mark.
    const std::string utf8 = "\xEF\xBB\xBF[登陆信息]\r\n地址=" + ftp::encipher("host") + "\r\n";
    file() = utf8;
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "");
    main.setText("地址编辑框", "ftp.例子.cn");
    save();
    EXPECT_EQ(file().substr(0, utf8.size()), utf8) << "nothing of the file is lost";
    main.setText("地址编辑框", "");
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "ftp.例子.cn");
}

TEST(HostileConfigLines, ALastLineEndingInCarriageReturnKeepsItsValue) {
    // A file whose last line ends in a bare CR: adding an entry after it
    // must not leave that CR inside the line's value.
    const std::string file = "[A]\r\nk=v\r";
    ASSERT_EQ(ftp::iniRead(file, "A", "k"), "v");
    const std::string written = ftp::iniWrite(file, "B", "x", "1");
    EXPECT_EQ(ftp::iniRead(written, "A", "k"), "v");
    EXPECT_EQ(ftp::iniRead(written, "B", "x"), "1");
    EXPECT_EQ(ftp::iniWrite(written, "B", "x", "1"), written);
}
