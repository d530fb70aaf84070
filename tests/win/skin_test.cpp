// The skin for real: the files written beside the program and hidden, the
// library loaded by full path once its bytes are ours and called in order (a
// logging build of it), a planted library never loaded, the files removed at
// the end, windows drawn from the palette, and the search for libraries
// named without a path kept to the system folder, in korvan.exe from its
// start.
//
// The skin, once attached, stays for the process (as in the tool): the tests
// hold in any order and when repeated.
#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

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

// A fresh folder beside the test binary, removed with its files at the end.
class Folder {
public:
    explicit Folder(const wchar_t* name)
        : path(binaryDir() + L"\\" + name + L"-" + std::to_wstring(GetCurrentProcessId())) {
        clear();
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~Folder() { clear(); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::wstring operator/(const wchar_t* name) const { return path + L"\\" + name; }
    const std::wstring path;

private:
    void clear() {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring f = path + L"\\" + fd.cFileName;
                SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(f.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(path.c_str());
    }
};

// The program's directory as the test says.
struct SystemIn : platform::System {
    std::string dir;
    explicit SystemIn(const std::wstring& d) : dir(win32::narrow(d)) {}
    std::string hostName() override { return "korvan-test"; }
    std::string programDirectory() override { return dir; }
};

// A visible top-level window of the process, or nullptr.
HWND visibleWindowOf(DWORD pid) {
    struct Find {
        DWORD pid;
        HWND found = nullptr;
    } find{pid};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<Find*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (owner != f->pid || !IsWindowVisible(h)) return TRUE;
            f->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

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
    // logging build), read-only so that our write cannot replace it. The
    // program's folder is one of this test's own: no library of that name
    // another test loaded is at that path.
    Folder dir(L"planted-skin");
    const std::wstring dll = dir / L"SkinH_EL.dll", log = dir / L"skin_calls.log";
    const std::string planted = wintest::readAll(binaryDir() + L"\\SkinH_EL_recording.dll");
    ASSERT_FALSE(planted.empty());
    ASSERT_TRUE(wintest::writeAll(dll, planted));
    ASSERT_TRUE(SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_READONLY));
    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", log.c_str());

    TestSkin lib;
    lib.image.back() ^= 1;   // our image is another build
    win32::Win32Files files;
    SystemIn system(dir.path);
    shell::SkinFiles skin{lib, files, system};
    skin.attach();
    lib.setAero(1);

    EXPECT_EQ(GetModuleHandleW(dll.c_str()), nullptr);
    EXPECT_FALSE(wintest::exists(log)) << wintest::readAll(log);
    EXPECT_EQ(wintest::readAll(dll), planted) << "the planted file is left as it was";

    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", nullptr);
    SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileW(dll.c_str())) << "not mapped, so it can go";
}

TEST(Skin, AttachWritesHiddenFilesCallsInOrderAndDrawsNewWindows) {
    const std::wstring dir = binaryDir();
    const std::wstring log = dir + L"\\skin_calls.log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"KORVAN_SKIN_LOG", log.c_str());

    win32::Win32Windows windows;
    // Where a standard button shows its face. (A window made here now may
    // be skinned already: the skin stays once an earlier run attached it.)
    const COLORREF plain = GetSysColor(COLOR_BTNFACE);

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

TEST(DllSearch, KorvanTakesNoSystemLibraryFromItsOwnFolder) {
    // korvan.exe in a folder of its own, with a library planted there under
    // the name of one it loads by name (GDI+, before its splash shows): the
    // planted one notes its loading and refuses to load.
    Folder dir(L"planted-gdiplus");
    const std::wstring exe = dir / L"korvan_planted.exe", loaded = dir / L"loaded.txt";
    ASSERT_TRUE(CopyFileW((binaryDir() + L"\\..\\korvan.exe").c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((binaryDir() + L"\\planted_library.dll").c_str(), (dir / L"gdiplus.dll").c_str(), FALSE));
    SetEnvironmentVariableW(L"KORVAN_PLANTED_LOG", loaded.c_str());
    // Wine takes its own build of a system library whatever file the search
    // finds; told to prefer a native one for this program, it takes what the
    // search finds, as Windows does. (Windows has no such key.)
    struct WinePrefersNative {
        const wchar_t* key = L"Software\\Wine\\AppDefaults\\korvan_planted.exe";
        LSTATUS set = RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(key) + L"\\DllOverrides").c_str(), L"gdiplus",
                                      REG_SZ, L"native,builtin", 30);
        ~WinePrefersNative() { RegDeleteTreeW(HKEY_CURRENT_USER, key); RegDeleteKeyW(HKEY_CURRENT_USER, key); }
    } wine;
    ASSERT_EQ(wine.set, ERROR_SUCCESS);
    // Nothing listens on port 9: the service fetches fail at once.
    for (const wchar_t* name : {L"KORVAN_UPDATE_URL", L"KORVAN_IPLOOKUP_URL", L"KORVAN_WHOIS_URL"})
        SetEnvironmentVariableW(name, L"http://127.0.0.1:9");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"korvan_planted.exe";
    // Started in its folder, which is then the current directory as well.
    const bool started =
        CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.path.c_str(), &si, &pi);
    for (const wchar_t* name : {L"KORVAN_PLANTED_LOG", L"KORVAN_UPDATE_URL", L"KORVAN_IPLOOKUP_URL", L"KORVAN_WHOIS_URL"})
        SetEnvironmentVariableW(name, nullptr);
    ASSERT_TRUE(started);
    CloseHandle(pi.hThread);

    // Until it shows a window (GDI+ is loaded by then), ends, or loads the
    // planted library.
    bool shown = false, ended = false;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!wintest::exists(loaded) && std::chrono::steady_clock::now() < limit) {
        if (visibleWindowOf(pi.dwProcessId)) {
            shown = true;
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
    }
    EXPECT_FALSE(wintest::exists(loaded)) << "korvan.exe loaded the library planted in its folder";
    EXPECT_TRUE(shown) << (ended ? "korvan.exe ended before it showed a window" : "korvan.exe showed no window");
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
}
