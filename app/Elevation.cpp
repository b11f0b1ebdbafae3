// Starting again with administrator rights, when an end was refused for want
// of them: one place asks, starts the new copy, hands the running-copy mark
// over and ends this one.
#include "app/ProcessListDlg.h"

#include <algorithm>

#include "app/Autorun.h"
#include "app/RunningCopy.h"
#include "app/StartupRules.h"
#include "framework/Handle.h"

const char* const kAdministratorRestartQuestion = "需要管理员权限才能结束该进程。是否以管理员身份重新启动瓦诺德？";
const char* const kProtectedProcessText = "该进程受系统保护，即使以管理员身份也无法结束。";
const char* const kAdministratorRestartNotice = "有进程需要管理员权限才能结束。点击此处，以管理员身份重新启动瓦诺德。";

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
    // No rights end a protected process: the user who asked is told so, and
    // offered nothing.
    const bool protectedOnly = !m_system->TakeProtectedEnds().empty() && denied.empty();
    if (protectedOnly && !forBlockList) m_prompt->Notify(kProtectedProcessText, "提示");
    if (!m_bRunsAsAdministrator && forBlockList) {
        const auto asked = [this](uint32_t pid) {
            return std::find(m_askedBlockedPids.begin(), m_askedBlockedPids.end(), pid) != m_askedBlockedPids.end();
        };
        denied.erase(std::remove_if(denied.begin(), denied.end(), asked), denied.end());
        m_askedBlockedPids.insert(m_askedBlockedPids.end(), denied.begin(), denied.end());
    }
    if (!m_bRunsAsAdministrator && !denied.empty()) m_bRestartWanted = true;
    return AskForAdministratorRestart();
}

// The question waits until nothing is open over the window (a dialog, a box,
// a menu): ending the window under an open dialog would take effect only when
// that closes, long after the new copy has given up waiting. Hidden in the
// tray, a notice over the icon asks instead, and a click on it brings the
// question. While it is open the block check goes on.
bool CProcessListDlg::AskForAdministratorRestart() {
    if (!m_bRestartWanted || m_bAskingRestart || !m_hWnd) return false;
    if (!::IsWindowEnabled(m_hWnd) || m_questions.open > 0 || m_bInMenu) return false;
    if (!IsWindowVisible()) {
        if (!m_bRestartNoticeShown) {
            m_bRestartNoticeShown = m_shell->ShowNotice(m_hWnd, kTrayIconId, "瓦诺德", kAdministratorRestartNotice);
        }
        return false;
    }
    m_bRestartWanted = false;
    m_bRestartNoticeShown = false;
    m_bAskingRestart = true;
    const bool accepted = m_questions.inner->AskYesNo(kAdministratorRestartQuestion, "警告");
    m_bAskingRestart = false;
    return accepted && m_hWnd && RestartAsAdministrator();
}

bool CProcessListDlg::RestartAsAdministrator(const std::wstring& moreArguments) {
    std::wstring arguments = TakeOverArguments(GetCurrentProcessId(), m_startFolder);
    if (!moreArguments.empty()) arguments += L" " + moreArguments;
    // The new copy reads the window's settings as it starts: this one's first.
    m_windowMemory.Save(m_hWnd, m_list, m_bTreeOrder, m_bShowMaximized);
    // A refused elevation leaves everything as it was.
    if (!m_shell->RunAsAdministrator(m_hWnd, ThisProgramPath(), arguments, m_startFolder)) return false;
    if (m_runningCopyMark) {
        // The new copy takes the hot keys and the tray icon with the mark.
        UnregisterHotKeys();
        RemoveTrayIcon();
        if (!m_runningCopyMark->HandOver(kTakeOverWaitMs)) {
            AddNotifyIcon();
            RegisterHotKeys();
            m_prompt->Notify("以管理员身份启动的瓦诺德没有接替运行，本程序继续运行。", "提示");
            return false;
        }
    }
    EndDialog(IDCANCEL);
    return true;
}
