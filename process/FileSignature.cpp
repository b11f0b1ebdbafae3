#include "process/FileSignature.h"

std::string SignatureText(const FileSignature& signature) {
    switch (signature.verdict) {
    case SignatureVerdict::Verified: return signature.signer + "（已验证）";
    case SignatureVerdict::None: return "无";
    case SignatureVerdict::Invalid: return "无效";
    case SignatureVerdict::Unreadable: break;
    }
    return "无法读取";
}

SignatureVerdict VerdictFromTrustStatus(uint32_t status) {
    switch (status) {
    case 0: return SignatureVerdict::Verified;
    case 0x800B0100:  // TRUST_E_NOSIGNATURE
    case 0x800B0003:  // TRUST_E_SUBJECT_FORM_UNKNOWN: a file kind that holds no signature
    case 0x800B0001:  // TRUST_E_PROVIDER_UNKNOWN
        return SignatureVerdict::None;
    case 0x80092003:  // CRYPT_E_FILE_ERROR
    case 0x80070002:  // the file is gone
    case 0x80070003:
    case 0x80070005:  // no right to read it
    case 0x80070020:  // held open without sharing
        return SignatureVerdict::Unreadable;
    default: return SignatureVerdict::Invalid;  // a bad digest, an untrusted or revoked certificate...
    }
}

SignatureVerdict CatalogMemberVerdict(uint32_t status) {
    const SignatureVerdict verdict = VerdictFromTrustStatus(status);
    return verdict == SignatureVerdict::None ? SignatureVerdict::Invalid : verdict;
}

namespace {

int Strength(SignatureVerdict verdict) {
    switch (verdict) {
    case SignatureVerdict::Verified: return 3;
    case SignatureVerdict::Invalid: return 2;
    case SignatureVerdict::None: return 1;
    case SignatureVerdict::Unreadable: break;
    }
    return 0;
}

}  // namespace

FileSignature CheckCatalogsInTurn(bool hasSha256, const std::function<FileSignature(bool sha256)>& checkBy) {
    if (!hasSha256) return checkBy(false);
    FileSignature bySha256 = checkBy(true);
    if (bySha256.verdict == SignatureVerdict::Verified) return bySha256;
    FileSignature bySha1 = checkBy(false);
    return Strength(bySha1.verdict) > Strength(bySha256.verdict) ? bySha1 : bySha256;
}
