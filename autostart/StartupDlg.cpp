#include "autostart/StartupDlg.h"

#include <objbase.h>

#include <algorithm>

#include "autostart/Win32AutostartSystem.h"
#include "blocklist/BlockListCommands.h"
#include "blocklist/PolicyNames.h"
#include "files/Win32FileStore.h"
#include "framework/FormatText.h"
#include "framework/Text.h"
#include "process/EndLog.h"
#include "process/FileSignature.h"
#include "process/Win32MessagePrompt.h"
#include "res/resource.h"

namespace {

const char* const kAdministratorQuestion = "更改该启动项需要管理员权限。是否以管理员身份重新启动瓦诺德？";

std::vector<std::string> RowCells(const StartupEntry& entry, AutostartSystem& system) {
    return {system.Text(entry.name), system.Text(entry.command), entry.placeText, entry.description, entry.status};
}

// The same entry before and after a change: disabling moves a value aside,
// and it is still the entry the user chose.
bool SameEntry(const StartupEntry& a, const StartupEntry& b) { return a.place == b.place && a.name == b.name; }

}  // namespace

BackgroundSignatureChecks::BackgroundSignatureChecks(HWND window, UINT message)
    : m_window(window), m_message(message) {}

BackgroundSignatureChecks::~BackgroundSignatureChecks() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void BackgroundSignatureChecks::Check(const std::wstring& path) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(path);
        if (!m_worker.joinable()) m_worker = std::thread([this] { Work(); });
    }
    m_wake.notify_all();
}

std::vector<std::pair<std::wstring, FileSignature>> BackgroundSignatureChecks::TakeAnswers() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_answers, {});
}

void BackgroundSignatureChecks::Work() {
    // The trust provider may use COM on the checking thread.
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) break;
        const std::wstring path = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        const FileSignature signature = ReadFileSignature(path);
        lock.lock();
        // One message for all the answers the window has not taken yet.
        const bool first = m_answers.empty();
        m_answers.emplace_back(path, signature);
        if (first) PostMessageW(m_window, m_message, 0, 0);
    }
    lock.unlock();
    if (comStarted) CoUninitialize();
}

CStartupDlg::CStartupDlg(std::wstring folder, HWND parent)
    : CDialog(IDD_STARTUP, parent),
      m_folder(std::move(folder)),
      m_ownPrompt(std::make_unique<Win32MessagePrompt>(*this)),
      m_prompt(m_ownPrompt.get()),
      m_ownSystem(std::make_unique<Win32AutostartSystem>()),
      m_system(m_ownSystem.get()) {}

CStartupDlg::~CStartupDlg() {
    m_checks.reset();
    if (m_bComStarted) CoUninitialize();
}

void CStartupDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_STARTUPLIST, m_list);
    DDX_Control(pDX, IDC_STARTUPTOGGLE, m_btnToggle);
    DDX_Control(pDX, IDC_STARTUPREMOVE, m_btnRemove);
    DDX_Control(pDX, IDC_STARTUPFOLDER, m_btnOpenFolder);
    DDX_Control(pDX, IDC_STARTUPBLOCK, m_btnBlock);
    DDX_Control(pDX, IDC_STARTUPHIDEOWN, m_chkHideWindowsOwn);
    DDX_Control(pDX, IDC_STARTUPCOUNT, m_count);
}

LRESULT CStartupDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_layout.OnMessage(m_hWnd, message, lParam)) return 0;
    switch (message) {
    case WM_SIGNATURES_CHECKED: OnSignaturesChecked(); return 0;
    default: return CDialog::WindowProc(message, wParam, lParam);
    }
}

bool CStartupDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_STARTUPTOGGLE: OnToggle(); return true;
    case IDC_STARTUPREMOVE: OnRemove(); return true;
    case IDC_STARTUPFOLDER: OnOpenFolder(); return true;
    case IDC_STARTUPBLOCK: OnBlock(); return true;
    case IDC_STARTUPREFRESH: Refill(); return true;
    case IDC_STARTUPHIDEOWN:
        m_bHideWindowsOwn = m_chkHideWindowsOwn.SendMessage(BM_GETCHECK) == BST_CHECKED;
        if (m_rememberHide) m_rememberHide(m_bHideWindowsOwn);
        FillRows();
        return true;
    default: return CDialog::OnCommand(id, code, control);
    }
}

bool CStartupDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_STARTUPLIST) return false;
    switch (header->code) {
    case LVN_ITEMCHANGED: UpdateButtons(); break;
    case NM_DBLCLK: OnDetails(); break;
    default: return false;
    }
    *result = 0;
    return true;
}

bool CStartupDlg::OnDialogKey(const MSG& key) {
    if (key.message != WM_KEYDOWN) return false;
    if (key.wParam == VK_F5) {
        Refill();
        return true;
    }
    if (key.wParam == VK_DELETE && key.hwnd == m_list.m_hWnd) {
        OnRemove();
        return true;
    }
    return false;
}

BOOL CStartupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The shell's link object needs COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_bComStarted = SUCCEEDED(com);
    m_layout.Measure(m_hWnd, m_list.m_hWnd,
                     {IDC_STARTUPTOGGLE, IDC_STARTUPREMOVE, IDC_STARTUPFOLDER, IDC_STARTUPBLOCK, IDC_STARTUPREFRESH,
                      IDCANCEL, IDC_STARTUPHIDEOWN, IDC_STARTUPCOUNT});
    const RECT list = m_list.GetWindowRect();
    m_chkHideWindowsOwn.SendMessage(BM_SETCHECK, m_bHideWindowsOwn ? BST_CHECKED : BST_UNCHECKED);
    m_checks = std::make_unique<BackgroundSignatureChecks>(m_hWnd, WM_SIGNATURES_CHECKED);
    m_windowsFolder = m_system->Folder(SystemFolder::Windows);

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // Every column in view at the opening size, the command widest.
    const int width = list.right - list.left - GetSystemMetrics(SM_CXVSCROLL) - 4;
    m_list.InsertColumns(FormatText("名称,%d;命令,%d;位置,%d;说明,%d;状态,%d", width * 14 / 100, width * 29 / 100,
                                    width * 19 / 100, width * 16 / 100, width * 22 / 100));
    // An administrator's password at the restart makes "当前用户" the administrator.
    if (m_bRunsAsAdministrator) {
        SetWindowText(StartupDialogCaption(m_system->ProgramAccount(), m_system->DesktopAccount()));
    }
    Refill();
    return TRUE;
}

bool CStartupDlg::IsDangerous(const std::wstring& programPath) {
    if (m_blockList.MatchesAny(TextFromWide(FileNameOf(programPath)))) return true;
    return HasRecordedFingerprint(programPath, m_fingerprints, m_programFiles);
}

void CStartupDlg::Refill() {
    Win32FileStore store(m_folder);
    std::string failure;
    // An unreadable proc.dat keeps the names read before.
    LoadBlockListInto(m_blockList, store, failure);
    m_blockList.SetPolicyNames(ReadPolicyBlockNames());
    // Only the fingerprints of names in proc.dat are enforced; an unreadable
    // prochash.dat keeps the ones read before.
    const std::vector<std::string> fileNames(m_blockList.names().begin() + 1, m_blockList.names().end());
    LoadFingerprintsInto(m_fingerprints, fileNames, store, failure);
    m_entries = ListStartupEntries({*m_system, [this](const std::wstring& path) { return IsDangerous(path); }});
    // Only files that could be Windows' own are checked, each once a dialog.
    for (const StartupEntry& entry : m_entries) {
        const std::wstring& path = entry.program.program;
        if (!entry.program.found || m_checking.count(path) ||
            !MayBeWindowsOwn(entry.marks, PlaceOf(path, m_windowsFolder))) {
            continue;
        }
        m_checking.insert(path);
        m_checks->Check(path);
    }
    FillRows();
}

bool CStartupDlg::IsHidden(const StartupEntry& entry) const {
    if (!m_bHideWindowsOwn || !entry.program.found) return false;
    // Never before the check has said so.
    const auto checked = m_signatures.find(entry.program.program);
    return checked != m_signatures.end() &&
           HidesAsWindowsOwn(entry.marks, PlaceOf(entry.program.program, m_windowsFolder), checked->second);
}

void CStartupDlg::OnSignaturesChecked() {
    for (auto& [path, signature] : m_checks->TakeAnswers()) m_signatures[path] = signature;
    FillRows();
}

void CStartupDlg::FillRows() {
    // The selected entry stays selected where it is still listed (its state may have changed).
    const StartupEntry* selectedBefore = SelectedEntry();
    const std::optional<StartupEntry> selected =
        selectedBefore ? std::optional<StartupEntry>(*selectedBefore) : std::nullopt;
    size_t hidden = 0;
    size_t shown = 0;
    {
        const RedrawSuspended drawnOnce(m_list);
        m_list.DeleteAllRows();
        for (size_t index = 0; index < m_entries.size(); ++index) {
            if (IsHidden(m_entries[index])) {
                ++hidden;
                continue;
            }
            // A row that only informs is no entry to count.
            if (!m_entries[index].noteOnly) ++shown;
            m_list.InsertRow(RowCells(m_entries[index], *m_system), index);
        }
        if (m_list.m_nSortColumn >= 0 && m_list.m_nSortColumn < m_list.m_nColumnCount) {
            m_list.SortByColumn(m_list.m_nSortColumn, m_list.m_bAscending);
        }
    }
    for (int row = 0; selected && row < m_list.GetItemCount(); ++row) {
        const std::optional<size_t> index = m_list.RowTag(row);
        if (!index || *index >= m_entries.size() || !SameEntry(m_entries[*index], *selected)) continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        break;
    }
    m_count.SetWindowText(EntryCountText(shown, hidden));
    UpdateButtons();
}

const StartupEntry* CStartupDlg::SelectedEntry() const {
    // The list may be sorted: each row carries its entry's index.
    const std::optional<size_t> index = m_list.RowTag(m_list.GetFirstSelectedItem());
    return index && *index < m_entries.size() ? &m_entries[*index] : nullptr;
}

void CStartupDlg::UpdateButtons() {
    const StartupEntry* entry = SelectedEntry();
    m_btnToggle.SetWindowText(entry && IsDisabled(*entry) ? "启用" : "禁用");
    m_btnToggle.EnableWindow(entry && CanToggle(*entry));
    m_btnRemove.EnableWindow(entry && CanRemove(*entry));
    m_btnOpenFolder.EnableWindow(entry && entry->program.found);
    m_btnBlock.EnableWindow(entry && !entry->program.program.empty());
}

void CStartupDlg::SayFailure(const ChangeResult& result) {
    if (OffersAdministratorRestart(result.status, m_bRunsAsAdministrator) && m_restartAsAdministrator) {
        // The restart ends this copy: not while the dialog is still open over the window.
        if (m_prompt->AskYesNo(kAdministratorQuestion, "警告")) {
            m_bRestartAccepted = true;
            EndDialog(IDCANCEL);
        }
        return;
    }
    m_prompt->Notify("无法更改该启动项。\n" + result.reason, "提示");
}

void CStartupDlg::OnToggle() {
    const StartupEntry* entry = SelectedEntry();
    if (!entry || !CanToggle(*entry)) return;
    const ChangeResult result = ToggleEntry(*m_system, *entry);
    Refill();
    if (!result.ok()) {
        SayFailure(result);
    } else if (!result.notice.empty() && !m_bNoticeSaid) {
        m_bNoticeSaid = true;
        m_prompt->Notify(result.notice, "提示");
    }
}

void CStartupDlg::OnRemove() {
    const StartupEntry* entry = SelectedEntry();
    if (!entry || !CanRemove(*entry)) return;
    const StartupEntry removed = *entry;
    const std::wstring logPath = InFolder(m_folder, WideFromText(kEndLogFileName));
    ChangeResult result;
    const RemovalOutcome outcome = RemoveEntry(
        *m_system, removed, *m_prompt,
        [&logPath](const std::string& line) { return AppendLogLine(logPath, line, kEndLogLimitBytes); }, result);
    if (outcome == RemovalOutcome::Declined) return;
    Refill();
    if (outcome == RemovalOutcome::Failed) SayFailure(result);
}

void CStartupDlg::OnOpenFolder() {
    const StartupEntry* entry = SelectedEntry();
    if (entry && entry->program.found && m_showInFolder) m_showInFolder(entry->program.program);
}

void CStartupDlg::OnBlock() {
    const StartupEntry* entry = SelectedEntry();
    if (!entry || entry->program.program.empty()) return;
    Win32FileStore store(m_folder);
    const std::string name = TextFromWide(FileNameOf(entry->program.program));
    const std::wstring path = entry->program.found ? entry->program.program : std::wstring();
    if (OfferBlockProgram(name, path, *m_prompt, store, *m_blockHasher, *m_pending) == OfferOutcome::Appended) {
        m_bBlockListChanged = true;
        Refill();
    }
}

void CStartupDlg::OnDetails() {
    const StartupEntry* entry = SelectedEntry();
    if (!entry) return;
    const bool found = entry->program.found;
    const std::string path = m_system->Text(entry->program.program);
    const ProgramVersion version = found ? m_system->ReadVersion(entry->program.program) : ProgramVersion{};
    const FileSignature signature = found ? ReadFileSignature(entry->program.program) : FileSignature{};
    std::string text = StartupDetailsText(path, found, version, SignatureText(signature));
    if (!entry->details.empty()) text += "\n" + entry->details;
    m_prompt->Notify(text, "启动项信息");
}

StartupDialogOutcome RunStartupDialog(const std::wstring& folder, const std::function<void(CStartupDlg&)>& setUp) {
    std::function<bool()> restart;
    StartupDialogOutcome outcome;
    {
        CStartupDlg dialog(folder);
        if (setUp) setUp(dialog);
        dialog.DoModal();
        outcome.blockListChanged = dialog.BlockListChanged();
        if (dialog.RestartAccepted()) restart = dialog.AdministratorRestart();
    }
    outcome.restarted = restart && restart();
    return outcome;
}
