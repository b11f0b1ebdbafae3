#include "process/Win32ProcessIdentity.h"

#include <windows.h>
// Needs the one before it.
#include <sddl.h>

#include <memory>
#include <vector>

#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/ProcessIdentity.h"
#include "process/Win32ProcessSystem.h"

namespace {

using QueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// The system's counted string (UNICODE_STRING), at this program's width.
struct CountedText {
    USHORT length;  // bytes
    USHORT maximumLength;
    PWSTR text;
};

// The answer of ProcessCommandLineInformation: a counted string followed by its text.
std::optional<std::wstring> AskSystemForCommandLine(QueryInformationProcess query, HANDLE process, bool& known) {
    constexpr ULONG kProcessCommandLineInformation = 60;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    constexpr LONG kInvalidInfoClass = static_cast<LONG>(0xC0000003);
    std::vector<uint64_t> buffer(64);  // 8-byte units keep the counted string aligned
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const auto size = static_cast<ULONG>(buffer.size() * sizeof(uint64_t));
        const LONG status = query(process, kProcessCommandLineInformation, buffer.data(), size, &needed);
        if (status >= 0) {
            const auto* answer = reinterpret_cast<const CountedText*>(buffer.data());
            if (!answer->text) return std::wstring();
            return std::wstring(answer->text, answer->length / sizeof(wchar_t));
        }
        if (status == kInvalidInfoClass) {
            known = false;
            return std::nullopt;
        }
        if (status != kInfoLengthMismatch || needed <= size) return std::nullopt;
        buffer.resize(needed / sizeof(uint64_t) + 1);
    }
    return std::nullopt;
}

bool ReadExactly(HANDLE process, uintptr_t address, void* into, size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<const void*>(address), into, size, &read) && read == size;
}

// The command line in the process parameters of its process block, at the
// offsets of this program's own width (the block the system gives it).
std::optional<std::wstring> ReadCommandLineFromBlock(QueryInformationProcess query, uint32_t pid) {
    const UniqueHandle process(OpenProcessForQuery(pid, PROCESS_VM_READ));
    if (!process) return std::nullopt;
    constexpr bool kReaderIs64Bit = sizeof(void*) == 8;
    const bool systemIs64Bit = kReaderIs64Bit || RunsUnderWow64(GetCurrentProcess());
    if (!CanReadProcessParameters(kReaderIs64Bit, systemIs64Bit && !RunsUnderWow64(process.get()))) return std::nullopt;
    struct BasicInformation {
        LONG exitStatus;
        PVOID processBlock;
        ULONG_PTR affinityMask;
        LONG basePriority;
        ULONG_PTR pid;
        ULONG_PTR parentPid;
    } basic{};
    if (query(process.get(), 0, &basic, sizeof(basic), nullptr) < 0 || !basic.processBlock) return std::nullopt;
    constexpr size_t kParametersInBlock = kReaderIs64Bit ? 0x20 : 0x10;
    constexpr size_t kCommandLineInParameters = kReaderIs64Bit ? 0x70 : 0x40;
    uintptr_t parameters = 0;
    CountedText commandLine{};
    if (!ReadExactly(process.get(), reinterpret_cast<uintptr_t>(basic.processBlock) + kParametersInBlock, &parameters,
                     sizeof(parameters)) ||
        !ReadExactly(process.get(), parameters + kCommandLineInParameters, &commandLine, sizeof(commandLine))) {
        return std::nullopt;
    }
    std::wstring text(commandLine.length / sizeof(wchar_t), L'\0');
    if (!text.empty() &&
        !ReadExactly(process.get(), reinterpret_cast<uintptr_t>(commandLine.text), &text[0], commandLine.length)) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::optional<std::wstring> ReadProcessCommandLine(uint32_t pid) {
    const auto query = FindSystemFunction<QueryInformationProcess>(L"ntdll.dll", "NtQueryInformationProcess");
    if (!query || pid == 0) return std::nullopt;
    bool known = true;
    if (const UniqueHandle process = OpenProcessForQuery(pid, 0)) {
        std::optional<std::wstring> asked = AskSystemForCommandLine(query, process.get(), known);
        if (asked || known) return asked;
    }
    return ReadCommandLineFromBlock(query, pid);
}

std::optional<std::wstring> ReadProcessUserSid(uint32_t pid) {
    const UniqueHandle process(OpenProcessForQuery(pid, 0));
    HANDLE rawToken = nullptr;
    if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, &rawToken)) return std::nullopt;
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<uint64_t> buffer(size / sizeof(uint64_t) + 1);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::nullopt;
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return std::nullopt;
    }
    std::wstring sidText(text);
    LocalFree(text);
    return sidText;
}

std::optional<std::wstring> LookUpAccountName(const std::wstring& sidText) {
    PSID rawSid = nullptr;
    if (!ConvertStringSidToSidW(sidText.c_str(), &rawSid)) return std::nullopt;
    const std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)> sid(rawSid, LocalFree);
    DWORD nameLength = 0;
    DWORD domainLength = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid.get(), nullptr, &nameLength, nullptr, &domainLength, &use);
    if (nameLength == 0) return std::nullopt;
    std::wstring name(nameLength, L'\0');
    std::wstring domain(domainLength + 1, L'\0');
    if (!LookupAccountSidW(nullptr, sid.get(), &name[0], &nameLength, &domain[0], &domainLength, &use)) {
        return std::nullopt;
    }
    name.resize(nameLength);
    domain.resize(domainLength);
    return domain.empty() ? name : domain + L"\\" + name;
}

std::optional<std::string> Win32ProcessSystem::ReadCommandLine(uint32_t pid) {
    const std::optional<std::wstring> commandLine = ReadProcessCommandLine(pid);
    if (!commandLine) return std::nullopt;
    return TextFromWide(*commandLine);
}

std::string Win32ProcessSystem::ReadUserName(uint32_t pid) {
    const std::optional<std::wstring> sid = ReadProcessUserSid(pid);
    if (!sid) return {};
    return m_accountNames.NameOf(TextFromWide(*sid), [](const std::string& sidText) -> std::optional<std::string> {
        const std::optional<std::wstring> name = LookUpAccountName(WideFromText(sidText));
        if (!name) return std::nullopt;
        return TextFromWide(*name);
    });
}

FileSignature Win32ProcessSystem::ReadSignature(const std::wstring& path) { return ReadFileSignature(path); }
