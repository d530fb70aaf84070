// The update window's number and text rules, the save path, the version
// page's text and the pacing arithmetic of a limited transfer.
#include <gtest/gtest.h>

#include <optional>

#include "platform/pacing.h"
#include "update/signature.h"
#include "update/texts.h"

using namespace update;

TEST(UpdateNumbers, ShortestFormWithThirteenSignificantDigits) {
    EXPECT_EQ(formatReal(45.6), "45.6");
    EXPECT_EQ(formatReal(100), "100");
    EXPECT_EQ(formatReal(0.12), "0.12");
    EXPECT_EQ(formatReal(0), "0");
    EXPECT_EQ(formatReal(-0.0), "0");
    EXPECT_EQ(formatReal(1.0 / 3), "0.3333333333333");
    EXPECT_EQ(formatReal(2.0 / 3), "0.6666666666667");
    // Never in exponent form.
    EXPECT_EQ(formatReal(0.00000015), "0.00000015");
    EXPECT_EQ(formatReal(123456789012345.0), "123456789012300");
}

TEST(UpdateNumbers, TwoPlacesHalfAwayFromZeroAfterTheSmallNudge) {
    EXPECT_EQ(roundTo(1.2312, 2), 1.23);
    EXPECT_EQ(roundTo(0.125, 2), 0.13);
    EXPECT_EQ(roundTo(2.675, 2), 2.68);   // binary value lies just below 2.675
    EXPECT_EQ(roundTo(1.005, 2), 1.01);
    EXPECT_EQ(roundTo(2.7, 2), 2.7);
    EXPECT_EQ(roundTo(-0.125, 2), -0.12);   // the nudge is added before rounding
}

TEST(UpdateNumbers, BarAndRemainingTime) {
    // 1.2312 M of 2.7 M.
    EXPECT_EQ(barPosition(1291007, 2831155), 456);
    EXPECT_EQ(barPosition(2831155, 2831155), 1000);
    EXPECT_EQ(barPosition(0, 2831155), 0);
    EXPECT_EQ(barPosition(999, 1000), 999);   // truncated, not rounded

    EXPECT_EQ(remainingSeconds(2831155, 1291007, 153600), 10);
    EXPECT_EQ(remainingSeconds(1000, 0, 250), 4);
    EXPECT_EQ(remainingSeconds(1000, 0, 0), 0);     // nothing arrived: no estimate
    EXPECT_EQ(remainingSeconds(1000, 900, 250), 0); // less than a second left
    // A server announcing the largest size there is, at a byte a second:
    // the count stays positive instead of wrapping round.
    EXPECT_EQ(remainingSeconds(INT64_MAX, 0, 1), INT64_MAX);
    EXPECT_EQ(remainingText(INT64_MAX), "剩余时间:9223372036854775807秒");
}

TEST(UpdateTexts, EveryLabelFormat) {
    EXPECT_EQ(shareText(456), "已下载:45.6%");
    EXPECT_EQ(shareText(1000), "已下载:100%");
    EXPECT_EQ(shareText(0), "已下载:0%");
    EXPECT_EQ(progressText(1291007, 2831155), "进度：1.23M/2.7M");
    EXPECT_EQ(progressText(0, 1048576), "进度：0M/1M");
    EXPECT_EQ(speedText(153600), "速度：150KB/秒 ");
    EXPECT_EQ(speedText(1023), "速度：0KB/秒 ");
    EXPECT_EQ(speedText(2047), "速度：1KB/秒 ");
    EXPECT_EQ(remainingText(10), "剩余时间:10秒");
    EXPECT_EQ(fileSizeText(2831155), "文件大小:2.7M");
    EXPECT_EQ(fileSizeText(209715200), "文件大小:200M");
    EXPECT_EQ(elapsedText(3456), "总耗时:3.46秒");
    EXPECT_EQ(elapsedText(2000), "总耗时:2秒");
    EXPECT_EQ(elapsedText(1005), "总耗时:1.01秒");
    EXPECT_EQ(elapsedText(0), "总耗时:0秒");
}

TEST(UpdateSavePath, AlwaysTheDesktopFolderFollowedByThePackageName) {
    EXPECT_EQ(savePathFor("C:\\Users\\a\\Desktop\\"), "C:\\Users\\a\\Desktop\\tarnel.zip");
    EXPECT_EQ(savePathFor("C:\\Users\\a.b\\桌面\\"), "C:\\Users\\a.b\\桌面\\tarnel.zip");
    // A desktop folder whose own name holds a "." is still a folder.
    EXPECT_EQ(savePathFor("C:\\Users\\a\\Desktop.old\\"), "C:\\Users\\a\\Desktop.old\\tarnel.zip");
    EXPECT_EQ(savePathFor("D:\\v1.2"), "D:\\v1.2\\tarnel.zip");
    EXPECT_EQ(savePathFor("C:\\"), "C:\\tarnel.zip");
}

TEST(UpdateVersionText, UpToTheFirstZeroByteDecodedNotTrimmed) {
    EXPECT_EQ(versionText("1.1"), "1.1");
    EXPECT_EQ(versionText("1.1\r\n"), "1.1\r\n");
    EXPECT_EQ(versionText(std::string("1.2\0junk", 8)), "1.2");
    EXPECT_EQ(versionText("\xB0\xE6" "2"), "版2");
    EXPECT_EQ(versionText(""), "");
}

TEST(DownloadPacing, BlockSizeAndPauses) {
    EXPECT_EQ(platform::readSize(20480, 999999999), 20480u);
    EXPECT_EQ(platform::readSize(20480, 0), 20480u);
    EXPECT_EQ(platform::readSize(20480, 10000), 1000u);
    EXPECT_EQ(platform::readSize(20480, 5), 1u);
    EXPECT_EQ(platform::readSize(0, 0), 1u);

    // The largest read: the block size without a limit; with one, a tenth of
    // it up to 1 MiB, never below the first read.
    EXPECT_EQ(platform::largestReadSize(20480, 0), 20480u);
    EXPECT_EQ(platform::largestReadSize(20480, 999999999), 1048576u);
    EXPECT_EQ(platform::largestReadSize(20480, 1000000), 100000u);
    EXPECT_EQ(platform::largestReadSize(20480, 10000), 1000u);
    EXPECT_EQ(platform::largestReadSize(2 << 20, 999999999), 2u << 20);

    // Reads grow while they come back full and quick, shrink when they wait.
    EXPECT_EQ(platform::nextReadSize(20480, 20480, 0, 20480, 1048576), 40960u);
    EXPECT_EQ(platform::nextReadSize(655360, 655360, 5, 20480, 1048576), 1048576u);
    EXPECT_EQ(platform::nextReadSize(1048576, 1048576, 5, 20480, 1048576), 1048576u);
    EXPECT_EQ(platform::nextReadSize(40960, 1000, 5, 20480, 1048576), 40960u);     // short: the end is near
    EXPECT_EQ(platform::nextReadSize(40960, 40960, 50, 20480, 1048576), 40960u);
    EXPECT_EQ(platform::nextReadSize(1048576, 1048576, 400, 20480, 1048576), 524288u);
    EXPECT_EQ(platform::nextReadSize(20480, 20480, 400, 20480, 1048576), 20480u);
    EXPECT_EQ(platform::nextReadSize(20480, 20480, 0, 20480, 20480), 20480u);       // no limit: fixed

    EXPECT_EQ(platform::pauseMs(0, 1 << 30, 10), 0);
    EXPECT_EQ(platform::pauseMs(10000, 9999, 200), 0);
    EXPECT_EQ(platform::pauseMs(10000, 10000, 200), 800);
    EXPECT_EQ(platform::pauseMs(10000, 20000, 1200), 0);
}

TEST(UpdateSignatureText, Base64OfExactly64BytesWithBlanksAroundOnly) {
    const std::string text = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
    platform::P256Signature counting{};
    for (int i = 0; i < 64; ++i) counting[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(update::parseSignature(text));
    EXPECT_EQ(*update::parseSignature(text), counting);
    EXPECT_EQ(update::parseSignature(" \t" + text + "\r\n"), std::optional(counting));
    platform::P256Signature ones;
    ones.fill(0xFF);
    EXPECT_EQ(update::parseSignature(std::string(85, '/') + "w=="), std::optional(ones));

    EXPECT_FALSE(update::parseSignature(""));
    EXPECT_FALSE(update::parseSignature(text.substr(0, 60))) << "truncated";
    EXPECT_FALSE(update::parseSignature(text + "AAAA")) << "longer";
    EXPECT_FALSE(update::parseSignature(text.substr(0, 86))) << "padding missing";
    std::string bad = text;
    bad[10] = '-';   // the URL-safe alphabet is not ours
    EXPECT_FALSE(update::parseSignature(bad));
    bad = text;
    bad[85] = 'x';   // spare bits set: not the one text of these bytes
    EXPECT_FALSE(update::parseSignature(bad));
    bad = text;
    bad.insert(40, "\n");
    EXPECT_FALSE(update::parseSignature(bad)) << "breaks inside the text";
    EXPECT_FALSE(update::parseSignature(std::string(text.data(), 44) + std::string(1, '\0') + text.substr(45)));
    // A DER signature as openssl writes it is not the format either.
    EXPECT_FALSE(update::parseSignature("MEUCIQDx" + std::string(80, 'A')));
}
