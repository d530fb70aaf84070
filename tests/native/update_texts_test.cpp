// The update window's number and text rules, the save path, the version
// page's text and the pacing arithmetic of a limited transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/pacing.h"
#include "platform/task_file.h"
#include "update/statement.h"
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

TEST(UpdateSignatureText, Base64OfExactly64BytesAndNothingAround) {
    const std::string text = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
    platform::P256Signature counting{};
    for (int i = 0; i < 64; ++i) counting[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(update::parseSignature(text));
    EXPECT_EQ(*update::parseSignature(text), counting);
    EXPECT_FALSE(update::parseSignature(" \t" + text + "\r\n")) << "a field of the statement is exact";
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

TEST(UpdateStatement, ExactlyTheFiveLinesInTheirOrderWithLfEnds) {
    const std::string sig = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
    const std::string hash = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
    const std::string head = "korvan-update 1\n", version = "version 1.2 beta~\n", sha = "sha256 " + hash + "\n",
                      expires = "expires 2028-02-29\n", last = "signature " + sig + "\n";
    const std::string good = head + version + sha + expires + last;
    const auto s = update::parseStatement(good);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->version, "1.2 beta~");
    EXPECT_EQ(s->sha256[1], 0x11);
    EXPECT_EQ(s->sha256[31], 0xff);
    EXPECT_EQ(s->expires, (platform::Date{2028, 2, 29}));
    EXPECT_EQ(s->signature[63], 63);
    EXPECT_EQ(s->signedLength, (head + version + sha + expires).size());
    EXPECT_TRUE(update::parseStatement(good.substr(0, good.size() - 1))) << "the last LF may be left off";

    auto crlf = [](std::string t) {
        for (std::size_t i = t.find('\n'); i != std::string::npos; i = t.find('\n', i + 2)) t.insert(i, "\r");
        return t;
    };
    const std::pair<const char*, std::string> refused[] = {
        {"CR LF line ends", crlf(good)},
        {"a CR before the last LF only", head + version + sha + expires + "signature " + sig + "\r\n"},
        {"reordered", head + sha + version + expires + last},
        {"text after the signature line", good + "x"},
        {"a blank line after it", good + "\n"},
        {"a line missing", head + version + sha + last},
        {"a line repeated", head + version + version + sha + expires + last},
        {"another format", "korvan-update 2\n" + version + sha + expires + last},
        {"a blank line first", "\n" + good},
        {"upper-case hex", head + version + "sha256 " + std::string(64, 'A') + "\n" + expires + last},
        {"a short hash", head + version + "sha256 " + hash.substr(1) + "\n" + expires + last},
        {"an empty version", head + "version \n" + sha + expires + last},
        {"a version of 33 characters", head + "version " + std::string(33, '1') + "\n" + sha + expires + last},
        {"a tab in the version", head + "version 1.2\t\n" + sha + expires + last},
        {"no such day", head + version + sha + "expires 2027-02-29\n" + last},
        {"a date not in its form", head + version + sha + "expires 2027-6-30\n" + last},
        {"two blanks after a key", head + version + sha + "expires  2027-06-30\n" + last},
        {"a broken signature", head + version + sha + expires + "signature " + sig.substr(1) + "\n"},
        {"over 1 KiB", good.substr(0, good.size() - 1) + std::string(1024, '\n')},
    };
    for (const auto& [name, text] : refused) EXPECT_FALSE(update::parseStatement(text)) << name;
    EXPECT_EQ(update::announcedVersion("1.2\r\n\t "), "1.2");
    EXPECT_EQ(update::announcedVersion(" 1.2"), " 1.2");
}

TEST(DownloadTaskFile, AStopNeverWaitsForAWriteAndTheWriterRemovesItsFile) {
    // A disk whose write is held until the test lets it go (a stalled
    // network drive, say). The stop comes from another thread meanwhile.
    struct HeldDisk : platform::TaskFile::Disk {
        std::mutex m;
        std::condition_variable cv;
        bool writing = false, letGo = false;
        std::vector<std::string> log;
        void note(const char* what) {
            std::lock_guard<std::mutex> l(m);
            log.emplace_back(what);
        }
        bool create() override {
            note("create");
            return true;
        }
        bool write(const char*, std::size_t) override {
            std::unique_lock<std::mutex> l(m);
            log.emplace_back("write");
            writing = true;
            cv.notify_all();
            cv.wait(l, [&] { return letGo; });
            return true;
        }
        bool keep() override {
            note("keep");
            return true;
        }
        void discard() override { note("discard"); }
        std::vector<std::string> seen() {
            std::lock_guard<std::mutex> l(m);
            return log;
        }
    } disk;
    platform::TaskFile file(disk);
    ASSERT_TRUE(file.create());
    bool wrote = true;
    std::thread worker([&] { wrote = file.write("x", 1); });
    {
        std::unique_lock<std::mutex> l(disk.m);
        ASSERT_TRUE(disk.cv.wait_for(l, std::chrono::seconds(60), [&] { return disk.writing; }));
    }
    std::promise<void> stopped;
    std::thread stopper([&] {
        file.stop();
        stopped.set_value();
    });
    const bool returned = stopped.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const std::vector<std::string> duringTheWrite = disk.seen();
    {
        std::lock_guard<std::mutex> l(disk.m);
        disk.letGo = true;
    }
    disk.cv.notify_all();
    worker.join();
    stopper.join();
    EXPECT_TRUE(returned) << "the stop waited for the write";
    EXPECT_EQ(duringTheWrite, (std::vector<std::string>{"create", "write"})) << "removed under a running write";
    // The write returned into a stopped task: its file goes, and it is
    // never kept nor made again.
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(file.keep());
    EXPECT_FALSE(file.create());
    EXPECT_EQ(disk.seen(), (std::vector<std::string>{"create", "write", "discard"}));

    // With no write under way the stop removes the file itself.
    HeldDisk idle;
    platform::TaskFile other(idle);
    ASSERT_TRUE(other.create());
    other.stop();
    other.stop();
    EXPECT_FALSE(other.write("x", 1));
    EXPECT_EQ(idle.seen(), (std::vector<std::string>{"create", "discard"}));
}
