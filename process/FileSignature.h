// Whether a program file is signed, and by whom: its own embedded signature,
// or for most system files the system's catalogs.
#pragma once

#include <cstdint>
#include <functional>
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

// What the trust provider's answer says of a file a catalog lists: it is
// signed by its catalog or not at all, so "no signature" is a failed one.
SignatureVerdict CatalogMemberVerdict(uint32_t status);

// The catalogs' verdict on a file: checkBy(true) looks its SHA-256 up (only
// where hasSha256, Windows 8 on), and on any answer but Verified checkBy(false)
// its SHA-1, as older catalogs list it. Of two answers the stronger stands:
// Verified, Invalid (listed, but failing), None (not listed), Unreadable.
FileSignature CheckCatalogsInTurn(bool hasSha256, const std::function<FileSignature(bool sha256)>& checkBy);

// Checks the file with the system's trust provider, and a file without a
// signature of its own against the system's catalogs. The path stays UTF-16:
// names outside code page 936 are read as well. Slow (it reads the whole
// file): for one file a user asked about.
FileSignature ReadFileSignature(const std::wstring& path);
