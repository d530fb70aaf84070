// The FTP client's rules apart from its windows: the login cipher, the GBK
// INI file, time texts, list order, the server's up path, the name check
// and the port box.
#include <gtest/gtest.h>

#include "ftp/cipher.h"
#include "ftp/ini.h"
#include "ftp/listing.h"
#include "platform/codec.h"

using platform::DateTime;

namespace {

std::string gbkOf(std::string_view utf8) { return codec::utf8ToGbk(utf8); }

platform::DirEntry fileEntryFor(std::string name) { return {std::move(name), 0, 7, {2010, 6, 2, 0, 0, 0}}; }

}  // namespace

TEST(LoginCipher, TextFormHasThreeCharactersPerByte) {
    EXPECT_EQ(ftp::encipher(""), "");
    EXPECT_EQ(ftp::decipher(""), "");
    EXPECT_EQ(ftp::encipher("a"), "52,");
    for (std::string text : {"x", "ftp.example.com", "pass word!"}) {
        const std::string t = ftp::encipher(text);
        ASSERT_EQ(t.size(), 3 * text.size()) << text;
        for (size_t i = 0; i < t.size(); i += 3) {
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(t[i])) && !std::islower(t[i]));
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(t[i + 1])) && !std::islower(t[i + 1]));
            EXPECT_EQ(t[i + 2], ',');
        }
    }
}

TEST(LoginCipher, MatchesValuesStoredByEarlierVersionsNotRc4) {
    // Worked by hand from the key schedule with positions counted from 1.
    EXPECT_EQ(ftp::encipher("ftp.example.com"), "55,6E,1C,B4,9C,08,46,9B,DE,BC,44,46,41,21,F1,");
    EXPECT_EQ(ftp::encipher(gbkOf("登陆信息")), "86,DD,AE,27,29,B5,E8,54,");
    // Plain RC4 under the same key gives 4D,04,FE,... and 9E,B7,4C,...: it
    // must not read back as the text.
    EXPECT_NE(ftp::decipher("4D,04,FE,10,A1,0F,63,B9,05,93,68,CE,69,2C,A1,"), "ftp.example.com");
}

TEST(LoginCipher, RoundTripsGbkTextAndReadsLooseForms) {
    for (std::string utf8 : std::vector<std::string>{"ftp.例子.中国", "帐号 user_01", "密码：乚譣]~", std::string(300, 'z')}) {
        const std::string g = gbkOf(utf8);
        EXPECT_EQ(codec::gbkToUtf8(ftp::decipher(ftp::encipher(g))), utf8);
    }
    const std::string stored = ftp::encipher("abc");   // "XX,YY,ZZ,"
    std::string noCommas, lower;
    for (char c : stored) {
        if (c != ',') noCommas += c;
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(ftp::decipher(noCommas), "abc");
    EXPECT_EQ(ftp::decipher(lower), "abc");
    EXPECT_EQ(ftp::decipher(lower.substr(0, 6)), "ab");
    // The text ends at the first zero byte: a stored zero cuts it.
    const std::string withZero = ftp::encipher(std::string("ab\0cd", 5));
    EXPECT_EQ(ftp::decipher(withZero), "ab");
}

TEST(IniFile, ReadsGbkSectionsAndKeysLikeTheProfileFunctions) {
    const std::string file = gbkOf(
        "; saved by hand\r\n"
        "[其他]\r\n地址=wrong\r\n"
        "[ 登陆信息 ]\r\n"
        "  地址 = 0A,FF,00, \r\n"
        "Account=\"quoted\"\r\n"
        "[乚譣]\n密码=x]y\n");
    EXPECT_EQ(ftp::iniRead(file, gbkOf("登陆信息"), gbkOf("地址")), "0A,FF,00,");
    EXPECT_EQ(ftp::iniRead(file, gbkOf("登陆信息"), "ACCOUNT"), "quoted");
    EXPECT_EQ(ftp::iniRead(file, gbkOf("登陆信息"), gbkOf("密码")), "");
    // A section name whose characters end in the byte of "]".
    EXPECT_EQ(ftp::iniRead(file, gbkOf("乚譣"), gbkOf("密码")), "x]y");
    EXPECT_EQ(ftp::iniRead(file, "missing", gbkOf("地址")), "");
    EXPECT_EQ(ftp::iniRead("", gbkOf("登陆信息"), gbkOf("地址")), "");
    const std::string huge = "[s]\r\nk=" + std::string(20000, 'A') + "\r\n";
    EXPECT_EQ(ftp::iniRead(huge, "s", "k").size(), ftp::kIniValueMax);
}

TEST(IniFile, WritesKeepEverythingElse) {
    const std::string s = gbkOf("登陆信息");
    std::string file = ftp::iniWrite("", s, gbkOf("地址"), "01,");
    EXPECT_EQ(file, gbkOf("[登陆信息]\r\n地址=01,\r\n"));

    file = gbkOf("; mine\r\n[登陆信息]\r\n地址=old\r\n\r\n[other]\r\nx=1");
    file = ftp::iniWrite(file, s, gbkOf("地址"), "AA,");
    file = ftp::iniWrite(file, s, gbkOf("帐号"), "BB,");
    file = ftp::iniWrite(file, "other", "y", "2");
    EXPECT_EQ(file, gbkOf("; mine\r\n[登陆信息]\r\n地址=AA,\r\n帐号=BB,\r\n\r\n[other]\r\nx=1\r\ny=2\r\n"));
    EXPECT_EQ(ftp::iniRead(file, s, gbkOf("帐号")), "BB,");
    // An empty value is stored as an empty value.
    file = ftp::iniWrite(file, s, gbkOf("帐号"), "");
    EXPECT_EQ(ftp::iniRead(file, s, gbkOf("帐号")), "");
    EXPECT_NE(file.find(gbkOf("帐号=\r\n")), std::string::npos);
}

TEST(ListRules, TimeTextStopsAtTheLastNonZeroField) {
    EXPECT_EQ(ftp::timeText({2010, 6, 2, 12, 20, 7}), "2010年6月2日12时20分7秒");
    EXPECT_EQ(ftp::timeText({2010, 6, 2, 12, 20, 0}), "2010年6月2日12时20分");
    EXPECT_EQ(ftp::timeText({2010, 6, 2, 12, 0, 0}), "2010年6月2日12时");
    EXPECT_EQ(ftp::timeText({2010, 6, 2, 0, 0, 0}), "2010年6月2日");
    EXPECT_EQ(ftp::timeText({2010, 12, 31, 0, 0, 5}), "2010年12月31日0时0分5秒");
    EXPECT_EQ(ftp::timeText({2010, 1, 1, 0, 7, 0}), "2010年1月1日0时7分");
}

TEST(ListRules, ServerListShowsDirectoriesFirstAndHidesDotDirectories) {
    const std::vector<platform::DirEntry> entries = {
        fileEntryFor("b.txt"), {"zdir", 16, 0, {2011, 1, 2, 3, 4, 5}}, {".well-known", 16, 0, {}}, {".", 16, 0, {}},
        fileEntryFor(".htaccess"), {"adir", 16 | 1, 0, {2011, 1, 2, 0, 0, 0}},
        {"big.iso", 0, 3ull << 30, {2012, 2, 3, 4, 5, 0}}};
    const auto rows = ftp::remoteRows(entries, "/pub");
    const std::vector<ftp::Row> want = {
        {"", ftp::kUpEntry, "", ""},
        {"zdir", ftp::kDirectory, "", "2011年1月2日3时4分5秒"},
        {"adir", ftp::kDirectory, "", "2011年1月2日"},
        {"b.txt", ftp::kFile, "7", "2010年6月2日"},
        {".htaccess", ftp::kFile, "7", "2010年6月2日"},
        {"big.iso", ftp::kFile, "3221225472", "2012年2月3日4时5分"},
    };
    EXPECT_EQ(rows, want);
    EXPECT_EQ(ftp::remoteRows(entries, "/").front().title, "zdir");   // no up entry at the root
    // Without a connection the directory is "", not "/": the up entry stays.
    EXPECT_EQ(ftp::remoteRows({}, ""), (std::vector<ftp::Row>{{"", ftp::kUpEntry, "", ""}}));
}

TEST(ListRules, LocalListTakesDotDotAsTheUpEntry) {
    const std::vector<platform::DirEntry> entries = {
        {".", 16, 0, {2020, 1, 1, 0, 0, 0}}, fileEntryFor("a.txt"), {"..", 16, 0, {2020, 1, 1, 0, 0, 0}},
        {".git", 16 | 2, 0, {2020, 1, 1, 1, 0, 0}}, {"pagefile.sys", 2 | 4, 5, {2020, 1, 1, 0, 0, 0}}};
    const auto rows = ftp::localRows(entries);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (ftp::Row{"", ftp::kUpEntry, "", ""}));
    EXPECT_EQ(rows[1], (ftp::Row{".git", ftp::kDirectory, "", "2020年1月1日1时"}));
    EXPECT_EQ(rows[2].title, "a.txt");
    EXPECT_EQ(rows[3], (ftp::Row{"pagefile.sys", ftp::kFile, "5", "2020年1月1日"}));
}

TEST(ListRules, ServerUpPath) {
    EXPECT_EQ(ftp::remoteParent("/a/b"), "/a");
    EXPECT_EQ(ftp::remoteParent("/a"), "/");
    EXPECT_EQ(ftp::remoteParent("/a/b/"), "/a/b");
    EXPECT_EQ(ftp::remoteParent("/"), "/");
    EXPECT_EQ(ftp::remoteParent("/中文/目录"), "/中文");
    EXPECT_EQ(ftp::remoteParent(""), std::nullopt);
    EXPECT_EQ(ftp::remoteParent("home"), std::nullopt);
}

TEST(ListRules, OnlyPlainNamesMayBecomeLocalFiles) {
    for (std::string ok : {"a.txt", ".htaccess", "中文名.zip", "CONSOLE", "com10", "a..b", "x y"})
        EXPECT_TRUE(ftp::isPlainFileName(ok)) << ok;
    for (std::string bad : std::vector<std::string>{"", ".", "..", "../x", "..\\x", "a/b", "a\\b", "c:x", "C:\\boot.ini", "/etc/passwd",
                            "CON", "con", "nul.txt", "con.txt.bak", "Aux.tar.gz", "COM1", "lpt9.log", "prn ", "NUL.", "...",
                            "a\tb", std::string("a\0b", 3), "a\x7f",
                            // The console's own names and the superscript ports.
                            "CONOUT$", "conin$", "CONOUT$.txt", "COM¹", "lpt³.txt", "COM0"})
        EXPECT_FALSE(ftp::isPlainFileName(bad)) << bad;
}

TEST(ListRules, PortBoxReadsItsLeadingNumber) {
    EXPECT_EQ(ftp::parsePort("21"), 21);
    EXPECT_EQ(ftp::parsePort("2121abc"), 2121);
    EXPECT_EQ(ftp::parsePort("21.9"), 21);
    EXPECT_EQ(ftp::parsePort(""), 0);
    EXPECT_EQ(ftp::parsePort("abc"), 0);
    EXPECT_EQ(ftp::parsePort("  990"), 990);
    EXPECT_EQ(ftp::parsePort("-5"), -5);
    EXPECT_GT(ftp::parsePort("99999999999999999999"), 65535);   // refused by the connect, never wrapped
}
