// Starting again with administrator rights, when an end was refused for want
// of them: one place asks, starts the new copy and ends this one.
#include "app/ProcessListDlg.h"

#include <algorithm>

#include "app/Autorun.h"
#include "app/StartupRules.h"
#include "framework/Handle.h"

const char* const kAdministratorRestartQuestion = "需要管理员权限才能结束该进程。是否以管理员身份重新启动瓦诺德？";

bool RunsWithAdministratorRights() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
    const UniqueHandle token(rawToken);
    // TokenElevation (Windows Vista on); older systems answer false here.
    constexpr auto kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);
    DWORD elevated = 0;
    DWORD size = 0;
    return GetTokenInformation(token.get(), kTokenElevation, &elevated, sizeof(elevated), &size) && elevated != 0;
}

bool CProcessListDlg::OfferAdministratorRestart(bool forBlockList) {
    std::vector<uint32_t> denied = m_system->TakeDeniedEnds();
    if (m_bRunsAsAdministrator || denied.empty()) return false;
    if (forBlockList) {
        const auto asked = [this](uint32_t pid) {
            return std::find(m_askedBlockedPids.begin(), m_askedBlockedPids.end(), pid) != m_askedBlockedPids.end();
        };
        denied.erase(std::remove_if(denied.begin(), denied.end(), asked), denied.end());
        if (denied.empty()) return false;
        m_askedBlockedPids.insert(m_askedBlockedPids.end(), denied.begin(), denied.end());
    }
    if (!m_prompt->AskYesNo(kAdministratorRestartQuestion, "警告")) return false;
    // The new copy waits for this one to end and takes its place; a refused
    // elevation leaves everything as it was.
    const std::wstring arguments = TakeOverArguments(GetCurrentProcessId(), m_startFolder);
    if (!m_shell->RunAsAdministrator(m_hWnd, ThisProgramPath(), arguments, m_startFolder)) return false;
    EndDialog(IDCANCEL);
    return true;
}
