// Whether a program file is signed, and by whom: its own embedded signature,
// or for most system files the system's catalogs.
#pragma once

#include <cstdint>
#include <string>

enum class SignatureVerdict { Verified, None, Invalid, Unreadable };

struct FileSignature {
    SignatureVerdict verdict = SignatureVerdict::Unreadable;
    std::string signer;  // the signing certificate's name (code page 936), for a verified one
};

// "<signer>（已验证）", "无", "无效" or "无法读取".
std::string SignatureText(const FileSignature& signature);

// What the trust provider's answer (an HRESULT) says of a file: no signature
// of its own (the catalogs may still sign it), one that fails, or a file the
// check could not read.
SignatureVerdict VerdictFromTrustStatus(uint32_t status);

// Checks the file (a path in code page 936) with the system's trust provider,
// and a file without a signature of its own against the system's catalogs.
// Slow (it reads the whole file): for one file a user asked about.
FileSignature ReadFileSignature(const std::string& path);
// The same for a path as the system gives it (UTF-16): names outside code page
// 936 stay readable.
FileSignature ReadFileSignature(const std::wstring& path);
