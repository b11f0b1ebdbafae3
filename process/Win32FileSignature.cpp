// The signature check through the system's trust provider (wintrust.dll) and
// certificate library (crypt32.dll), both loaded from the system folder only.
#include <windows.h>
// Each needs the ones before it.
#include <wincrypt.h>

#include <wintrust.h>

#include <mscat.h>

#include <cstddef>
#include <vector>

#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/FileSignature.h"
#include "process/Win32ProcessSystem.h"

namespace {

// WINTRUST_CATALOG_INFO as Windows 8 and later know it: their trust provider
// looks a SHA-256 member up through hCatAdmin, which the headers of the older
// systems this program is built for do not name.
struct CatalogMemberInfo {
    DWORD cbStruct;
    DWORD dwCatalogVersion;
    LPCWSTR pcwszCatalogFilePath;
    LPCWSTR pcwszMemberTag;
    LPCWSTR pcwszMemberFilePath;
    HANDLE hMemberFile;
    BYTE* pbCalculatedFileHash;
    DWORD cbCalculatedFileHash;
    PCCTL_CONTEXT pcCatalogContext;
    HCATADMIN hCatAdmin;
};
static_assert(offsetof(CatalogMemberInfo, hCatAdmin) == sizeof(WINTRUST_CATALOG_INFO),
              "the older structure is the start of the newer one");
static_assert(sizeof(CatalogMemberInfo) == (sizeof(void*) == 8 ? 72 : 40), "the size Windows 8 expects");

// WINTRUST_ACTION_GENERIC_VERIFY_V2: Authenticode with the usual policy.
GUID VerifyAction() { return {0x00aac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}}; }
// DRIVER_ACTION_VERIFY: the subsystem the system's catalogs belong to.
GUID CatalogSubsystem() { return {0xf750e6c3, 0x38ee, 0x11d1, {0x85, 0xe5, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}}; }

class TrustProvider {
public:
    TrustProvider() : m_wintrust(L"wintrust.dll"), m_crypt32(L"crypt32.dll") {}

    bool available() const { return verify_ != nullptr; }

    // The provider's answer for data, with the signer's name when it trusts it.
    LONG Verify(WINTRUST_DATA& data, std::string& signer) const {
        GUID action = VerifyAction();
        data.cbStruct = sizeof(data);
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        // Never a wait for the network: the box opens at once, online or not.
        data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        const LONG status = verify_(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        if (status == 0) signer = SignerName(data.hWVTStateData);
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        verify_(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        return status;
    }

    // The file checked against the system's catalogs: a file the catalogs do
    // not list is unsigned.
    FileSignature CheckCatalogs(HANDLE file, const std::wstring& path) const {
        // A system without catalogs signs no file through them.
        if (!acquire_ || !calcHash_ || !enumCatalog_ || !catalogInfo_ || !releaseCatalog_ || !release_) {
            return {SignatureVerdict::None, {}};
        }
        // Windows 8 on lists its files by SHA-256, many only so; older
        // catalogs by SHA-1.
        return CheckCatalogsInTurn(acquireByAlgorithm_ && calcHashByAlgorithm_,
                                   [&](bool sha256) { return CheckCatalogsBy(file, path, sha256); });
    }

private:
    FileSignature CheckCatalogsBy(HANDLE file, const std::wstring& path, bool sha256) const {
        HCATADMIN admin = nullptr;
        GUID subsystem = CatalogSubsystem();
        const BOOL acquired =
            sha256 ? acquireByAlgorithm_(&admin, &subsystem, L"SHA256", nullptr, 0) : acquire_(&admin, &subsystem, 0);
        if (!acquired) return {};
        FileSignature signature{SignatureVerdict::None, {}};
        const auto hashOf = [&](DWORD* size, BYTE* into) {
            // Each check has read the file: the hash starts again from its beginning.
            SetFilePointer(file, 0, nullptr, FILE_BEGIN);
            return sha256 ? calcHashByAlgorithm_(admin, file, size, into, 0) : calcHash_(file, size, into, 0);
        };
        DWORD size = 0;
        hashOf(&size, nullptr);
        std::vector<BYTE> hash(size);
        if (size == 0 || !hashOf(&size, hash.data())) {
            release_(admin, 0);
            return {};
        }
        if (HCATINFO catalog = enumCatalog_(admin, hash.data(), size, 0, nullptr)) {
            CATALOG_INFO info{};
            info.cbStruct = sizeof(info);
            if (catalogInfo_(catalog, &info, 0)) {
                std::wstring tag;
                for (BYTE byte : hash) {
                    const wchar_t* const digits = L"0123456789ABCDEF";
                    tag += digits[byte >> 4];
                    tag += digits[byte & 15];
                }
                CatalogMemberInfo member{};
                // The newer size only where the provider knows it (Windows 8 on,
                // the systems with the SHA-256 calls); the older elsewhere.
                member.cbStruct = acquireByAlgorithm_ ? sizeof(member) : sizeof(WINTRUST_CATALOG_INFO);
                member.hCatAdmin = admin;
                member.pcwszCatalogFilePath = info.wszCatalogFile;
                member.pcwszMemberFilePath = path.c_str();
                member.pcwszMemberTag = tag.c_str();
                member.hMemberFile = file;
                member.pbCalculatedFileHash = hash.data();
                member.cbCalculatedFileHash = size;
                WINTRUST_DATA data{};
                data.dwUnionChoice = WTD_CHOICE_CATALOG;
                data.pCatalog = reinterpret_cast<WINTRUST_CATALOG_INFO*>(&member);
                const LONG status = Verify(data, signature.signer);
                signature.verdict = CatalogMemberVerdict(static_cast<uint32_t>(status));
            }
            releaseCatalog_(admin, catalog, 0);
        }
        release_(admin, 0);
        return signature;
    }

    std::string SignerName(HANDLE state) const {
        if (!providerData_ || !signerOf_ || !nameOf_) return {};
        CRYPT_PROVIDER_DATA* provider = providerData_(state);
        CRYPT_PROVIDER_SGNR* signer = provider ? signerOf_(provider, 0, FALSE, 0) : nullptr;
        if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return {};
        const PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
        const DWORD length = nameOf_(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
        if (length <= 1) return {};
        std::wstring name(length, L'\0');
        nameOf_(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, &name[0], length);
        name.resize(length - 1);
        return TextFromWide(name);
    }

    SystemLibrary m_wintrust;
    SystemLibrary m_crypt32;
    using VerifyTrust = LONG(WINAPI*)(HWND, GUID*, LPVOID);
    using ProviderData = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
    using SignerOf = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
    using NameOf = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD);
    using Acquire = BOOL(WINAPI*)(HCATADMIN*, const GUID*, DWORD);
    using CalcHash = BOOL(WINAPI*)(HANDLE, DWORD*, BYTE*, DWORD);
    using AcquireByAlgorithm = BOOL(WINAPI*)(HCATADMIN*, const GUID*, const WCHAR*, const void*, DWORD);
    using CalcHashByAlgorithm = BOOL(WINAPI*)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD);
    using EnumCatalog = HCATINFO(WINAPI*)(HCATADMIN, BYTE*, DWORD, DWORD, HCATINFO*);
    using CatalogInfo = BOOL(WINAPI*)(HCATINFO, CATALOG_INFO*, DWORD);
    using ReleaseCatalog = BOOL(WINAPI*)(HCATADMIN, HCATINFO, DWORD);
    using Release = BOOL(WINAPI*)(HCATADMIN, DWORD);
    VerifyTrust verify_ = m_wintrust.Find<VerifyTrust>("WinVerifyTrust");
    ProviderData providerData_ = m_wintrust.Find<ProviderData>("WTHelperProvDataFromStateData");
    SignerOf signerOf_ = m_wintrust.Find<SignerOf>("WTHelperGetProvSignerFromChain");
    NameOf nameOf_ = m_crypt32.Find<NameOf>("CertGetNameStringW");
    Acquire acquire_ = m_wintrust.Find<Acquire>("CryptCATAdminAcquireContext");
    CalcHash calcHash_ = m_wintrust.Find<CalcHash>("CryptCATAdminCalcHashFromFileHandle");
    AcquireByAlgorithm acquireByAlgorithm_ = m_wintrust.Find<AcquireByAlgorithm>("CryptCATAdminAcquireContext2");
    CalcHashByAlgorithm calcHashByAlgorithm_ =
        m_wintrust.Find<CalcHashByAlgorithm>("CryptCATAdminCalcHashFromFileHandle2");
    EnumCatalog enumCatalog_ = m_wintrust.Find<EnumCatalog>("CryptCATAdminEnumCatalogFromHash");
    CatalogInfo catalogInfo_ = m_wintrust.Find<CatalogInfo>("CryptCATCatalogInfoFromContext");
    ReleaseCatalog releaseCatalog_ = m_wintrust.Find<ReleaseCatalog>("CryptCATAdminReleaseCatalogContext");
    Release release_ = m_wintrust.Find<Release>("CryptCATAdminReleaseContext");
};

}  // namespace

FileSignature ReadFileSignature(const std::wstring& widePath) {
    // The handle is opened past the redirection; the provider then reads the
    // file through it, with its own libraries loading as usual.
    const UniqueHandle file = OpenProgramFile(widePath);
    const TrustProvider provider;
    if (!file || !provider.available()) return {};
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = widePath.c_str();
    fileInfo.hFile = file.get();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    FileSignature signature;
    const LONG status = provider.Verify(data, signature.signer);
    signature.verdict = VerdictFromTrustStatus(static_cast<uint32_t>(status));
    // Most system files are signed through the catalogs, not by a signature of their own.
    if (signature.verdict == SignatureVerdict::None) return provider.CheckCatalogs(file.get(), widePath);
    return signature;
}
