// What the program's resources give it at run time: visual styles from its
// manifest and the version block that the file's properties show.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Handle.h"
#include "framework/Text.h"
#include "support/WineTestSupport.h"

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

// Marked Terminal-Services aware: on a Remote Desktop host the system gives
// an unmarked program the user's private Windows folder, where the user can
// plant the explorer.exe an administrator copy would start.
TEST(Resources, ProgramIsMarkedTerminalServicesAware) {
    const UniqueHandle file(
        CreateFileW(BuiltProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file) << "cannot open the built program";
    std::vector<BYTE> head(4096);
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr));
    IMAGE_DOS_HEADER dos{};
    ASSERT_GE(read, sizeof(dos));
    memcpy(&dos, head.data(), sizeof(dos));
    // Signature, file header, then the optional header: the characteristics
    // lie 70 bytes into it in the 32-bit and the 64-bit form alike.
    const size_t at = static_cast<size_t>(dos.e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) + 70;
    ASSERT_LE(at + 2, read);
    WORD characteristics = 0;
    memcpy(&characteristics, head.data() + at, sizeof(characteristics));
    EXPECT_EQ(IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
              characteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE)
        << "DllCharacteristics: 0x" << std::hex << characteristics;
}
