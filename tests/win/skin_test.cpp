// The skin for real: the files written beside the program and hidden, the
// library loaded by full path once its bytes are ours and called in order (a
// logging build of it), a planted library never loaded, the files removed at
// the end, windows drawn from the palette, and the process-wide search for
// libraries named without a path kept to the system folder.
//
// The tests run in this order in one process: the planted library first,
// while nothing is mapped at its path and the search is not yet restricted.
#include <windows.h>
#include <gtest/gtest.h>

#include "platform/win32/dll_search.h"
#include "platform/win32/platform_win32.h"
#include "win_helpers.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "shell/skin.h"

namespace {

using wintest::binaryDir;

// The real loader with the images of the logging library and the data file
// of this build.
struct TestSkin : platform::Skin {
    win32::Win32Skin real;
    std::string image = wintest::readAll(binaryDir() + L"\\SkinH_EL_recording.dll");
    std::string libraryImage() override { return image; }
    std::string dataImage() override { return wintest::readAll(binaryDir() + L"\\..\\skin\\skinh.she"); }
    bool load(std::string_view path, std::string_view expected) override { return real.load(path, expected); }
    void attach() override { real.attach(); }
    void adjustHsv(int h, int s, int b) override { real.adjustHsv(h, s, b); }
    void setAero(int on) override { real.setAero(on); }
};

COLORREF sample(HWND h, int x, int y) {
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(h);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(h, dc);
    return c;
}

}  // namespace

TEST(Skin, APlantedReadOnlyLibraryIsNeverLoaded) {
    // Someone left a working library of that name beside the program (the
    // logging build), read-only so that our write cannot replace it.
    const std::wstring dir = binaryDir();
    const std::wstring dll = dir + L"\\SkinH_EL.dll", she = dir + L"\\skinh.she", log = dir + L"\\skin_calls.log";
    SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_NORMAL);   // a hidden copy from an earlier run
    DeleteFileW(dll.c_str());
    DeleteFileW(log.c_str());
    const std::string planted = wintest::readAll(dir + L"\\SkinH_EL_recording.dll");
    ASSERT_FALSE(planted.empty());
    ASSERT_TRUE(wintest::writeAll(dll, planted));
    ASSERT_TRUE(SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_READONLY));
    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", log.c_str());

    TestSkin lib;
    lib.image.back() ^= 1;   // our image is another build
    win32::Win32Files files;
    win32::Win32System system;
    shell::SkinFiles skin{lib, files, system};
    skin.attach();
    lib.setAero(1);

    EXPECT_EQ(GetModuleHandleW(L"SkinH_EL.dll"), nullptr);
    EXPECT_FALSE(wintest::exists(log)) << wintest::readAll(log);
    EXPECT_EQ(wintest::readAll(dll), planted) << "the planted file is left as it was";

    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", nullptr);
    SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileW(dll.c_str())) << "not mapped, so it can go";
    DeleteFileW(she.c_str());
    DeleteFileW(log.c_str());
}

TEST(Skin, AttachWritesHiddenFilesCallsInOrderAndDrawsNewWindows) {
    const std::wstring dir = binaryDir();
    const std::wstring log = dir + L"\\skin_calls.log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", log.c_str());

    win32::Win32Windows windows;
    auto* before = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    before->setVisible("", true);
    HWND plainButton = before->unitHwnd("按钮1");
    COLORREF plain = sample(plainButton, 4, 12);

    TestSkin lib;
    win32::Win32Files files;
    win32::Win32System system;
    shell::SkinFiles skin{lib, files, system};
    skin.attach();

    const std::wstring dll = dir + L"\\SkinH_EL.dll", she = dir + L"\\skinh.she";
    EXPECT_EQ(GetFileAttributesW(dll.c_str()) & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesW(she.c_str()) & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(wintest::readAll(she).substr(0, 4), ".SHE");

    // A window made after the attach is drawn from the palette.
    auto* after = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    after->setVisible("", true);
    COLORREF skinned = sample(after->unitHwnd("按钮1"), 4, 12);
    EXPECT_NE(skinned, plain) << std::hex << skinned;

    // The glass switch through the menu handler.
    skin.switchEffect(*after, layouts::kMenuEffect);
    EXPECT_TRUE(GetWindowLongW(after->hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    skin.switchEffect(*after, layouts::kMenuEffect);
    EXPECT_FALSE(GetWindowLongW(after->hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);

    EXPECT_EQ(wintest::readAll(log), "SkinH_Attach\nSkinH_AdjustHSV 130 0 0\nSkinH_SetAero 1\nSkinH_SetAero 0\n");

    // The window going: the data file is gone; the library is still loaded,
    // so its deletion may be refused.
    skin.remove();
    EXPECT_EQ(GetFileAttributesW(she.c_str()), INVALID_FILE_ATTRIBUTES);
    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", nullptr);
    DeleteFileW(log.c_str());
}

TEST(DllSearch, LibrariesNamedWithoutAPathComeFromTheSystemFolderOnly) {
    // A library beside the program, asked for by its name alone.
    const wchar_t* beside = L"SkinH_EL_recording.dll";
    ASSERT_TRUE(wintest::exists(binaryDir() + L"\\" + beside));
    EXPECT_TRUE(win32::restrictDllSearchToSystemFolder());
    EXPECT_EQ(LoadLibraryW(beside), nullptr);
    // The system's own still load by name.
    EXPECT_NE(LoadLibraryW(L"msimg32.dll"), nullptr);
}
