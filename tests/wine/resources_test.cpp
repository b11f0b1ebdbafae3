// What the program's resources give it at run time: visual styles from its
// manifest and the version block that the file's properties show.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Text.h"

namespace {

std::wstring OwnExePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::vector<BYTE> OwnVersionBlock() {
    const std::wstring path = OwnExePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

std::string VersionString(std::vector<BYTE>& block, const wchar_t* name) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "";
    return TextFromWide(value);
}

}  // namespace

// The manifest asks for common controls 6; without it the buttons, the list
// and the header would be the old controls. Only the version 6 button knows
// its ideal size (the library's own version number is no guide: Wine's says 5.81).
TEST(Resources, ManifestActivatesCommonControlsSix) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HWND button = CreateWindowW(L"Button", L"刷新进程", WS_POPUP | BS_PUSHBUTTON, 0, 0, 80, 24, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(nullptr, button);
    SIZE ideal{};
    EXPECT_NE(0, SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)))
        << "the button is not a common controls 6 button";
    DestroyWindow(button);
}

TEST(Resources, VersionBlockNamesTheProductInChinese) {
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty()) << "no version information, error " << GetLastError();

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(8, 2), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(8, 2), fixed->dwProductVersionMS);

    EXPECT_EQ("瓦诺德", VersionString(block, L"ProductName"));
    EXPECT_EQ("2.8.0.0", VersionString(block, L"FileVersion"));
    EXPECT_EQ("2.8.0.0", VersionString(block, L"ProductVersion"));
}
