// prochash.dat: any file is read; what is read is well formed; removing names
// keeps every other byte; an append read back gives one more fingerprint.
// Input: the file.
#include <set>

#include "blocklist/FingerprintFile.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file = InputText(data, size);
    const std::vector<FileFingerprint> read = ReadFingerprints(file);
    std::set<std::string> names;
    for (const FileFingerprint& fingerprint : read) {
        FUZZ_CHECK(!fingerprint.name.empty() && fingerprint.name.find_first_of("\t\r\n") == std::string::npos);
        FUZZ_CHECK(fingerprint.sha256.size() == kSha256HexLength);
        FUZZ_CHECK(fingerprint.sha256.find_first_not_of("0123456789abcdef") == std::string::npos);
        names.insert(fingerprint.name);
    }
    FUZZ_CHECK(RemoveFingerprintsOf(file, {}) == file);
    const std::string withoutAll = RemoveFingerprintsOf(file, names);
    FUZZ_CHECK(ReadFingerprints(withoutAll).empty());
    FUZZ_CHECK(withoutAll.size() <= file.size());

    const FileFingerprint added{"added.exe", 12345, std::string(kSha256HexLength, 'e')};
    const std::string appended = AppendFingerprintBytes(file, added);
    FUZZ_CHECK(appended.compare(0, file.size(), file) == 0);
    const std::vector<FileFingerprint> after = ReadFingerprints(appended);
    const bool grew = appended.size() > file.size();
    FUZZ_CHECK(after.size() == read.size() + (grew ? 1 : 0));
    FUZZ_CHECK(!after.empty() && (!grew || (after.back().name == "added.exe" && after.back().size == 12345)));
    return 0;
}
