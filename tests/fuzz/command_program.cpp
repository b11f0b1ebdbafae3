// A logon entry's command to its program file, and a registry value to the
// command: whatever the bytes, the program is a piece of the expanded command
// (or a file the lookups named), and finding it never asks too often.
// Input: a value's type byte, then its bytes; files named after the first NUL
// of the text exist.
#include <algorithm>

#include "autostart/AutostartRules.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    RegistryValue value{L"n", static_cast<uint32_t>(data[0] % 8), std::vector<uint8_t>(data + 1, data + size)};
    const std::wstring text = CommandTextOf(value);
    if (IsTextValue(value)) FUZZ_CHECK(text.find(L'\0') == std::wstring::npos || value.type == kRegMultiSz);

    const std::wstring command = text.substr(0, text.find(L'\0'));
    size_t asked = 0;
    CommandLookups lookups;
    lookups.environment = [](const std::wstring& name) -> std::optional<std::wstring> {
        if (name == L"A") return std::wstring(L"C:\\a b");
        return std::nullopt;
    };
    lookups.searchFolders = {L"C:\\W"};
    lookups.isFile = [&](const std::wstring& path) {
        ++asked;
        return path.size() % 7 == 0;
    };
    const CommandProgram program = ProgramOfCommand(command, lookups);
    const std::wstring expanded = ExpandEnvironmentText(command, lookups);
    // Each try asks about a name and the name with an extension, in at most two folders.
    FUZZ_CHECK(asked <= 2 * 2 * (kMaxUnquotedTries + 2));
    if (!program.found && program.host.empty()) {
        FUZZ_CHECK(expanded.find(program.program) != std::wstring::npos);
    }
    if (program.found) FUZZ_CHECK(program.program.size() % 7 == 0);
    return 0;
}
