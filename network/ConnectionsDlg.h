// The dialog "网络连接": every TCP and UDP endpoint of the system (or of one
// process) with its owner, renewed every two seconds in place; ends or
// blocks the owner through the main window's flows, disconnects an IPv4
// connection, and copies rows.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/SortableListCtrl.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ListDialogLayout.h"
#include "network/ConnectionSystem.h"
#include "process/MessagePrompt.h"
#include "process/ProcessCommands.h"
#include "process/ProcessSystem.h"

constexpr UINT_PTR kConnectionsTimer = 1;
constexpr UINT kConnectionsPeriodMs = 2000;

class CConnectionsDlg : public CDialog {
public:
    CConnectionsDlg(ProcessSystem& processes, HWND parent = nullptr);
    ~CConnectionsDlg() override;

    // Seams and hooks, set before the dialog is created.
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }
    void SetConnectionSystem(ConnectionSystem* connections) { m_connections = connections; }
    // Shows that process's connections alone, with its name in the caption.
    void ShowOnly(const SelectedProcess& process) { m_only = process; }
    // 中止进程 and 封锁 on a row's owner, asking through the prompt given.
    using ProcessCommand = std::function<void(const SelectedProcess& owner, MessagePrompt& prompt)>;
    void SetTerminate(ProcessCommand terminate) { m_terminate = std::move(terminate); }
    void SetBlock(ProcessCommand block) { m_block = std::move(block); }
    // Where 断开连接 is logged (tarvemonix.log).
    void SetLogPath(std::wstring path) { m_logPath = std::move(path); }
    void SetRunsAsAdministrator(bool administrator) { m_bRunsAsAdministrator = administrator; }
    // Starts again as administrator, once the dialog has closed; true when
    // this copy ends. Offered when 断开连接 is refused for want of rights.
    void SetAdministratorRestart(std::function<bool()> restart) { m_restartAsAdministrator = std::move(restart); }
    bool RestartAccepted() const { return m_bRestartAccepted; }
    const std::function<bool()>& AdministratorRestart() const { return m_restartAsAdministrator; }

    // Reads the tables and the processes again and renews the list in place.
    void Update();
    void OnTerminate();
    void OnBlock();
    void OnDisconnect();
    void OnCopy();

    // The connection of the first selected row, or null.
    const ShownConnection* SelectedConnection() const;
    // Every connection listed, in the order they were added.
    std::vector<ShownConnection> Connections() const;

    CSortableListCtrl m_list;
    CButton m_btnTerminate;
    CButton m_btnBlock;
    CButton m_btnDisconnect;
    CButton m_btnCopy;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    // F5 刷新, Ctrl+C 复制.
    bool OnDialogKey(const MSG& key) override;

private:
    void UpdateButtons();
    void RunOnOwner(const ProcessCommand& command);

    ProcessSystem& m_processes;
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    MessagePrompt* m_prompt = nullptr;
    std::unique_ptr<ConnectionSystem> m_ownConnections;
    ConnectionSystem* m_connections = nullptr;
    std::optional<SelectedProcess> m_only;
    ProcessCommand m_terminate;
    ProcessCommand m_block;
    std::wstring m_logPath;
    bool m_bRunsAsAdministrator = false;
    bool m_bRestartAccepted = false;
    std::function<bool()> m_restartAsAdministrator;
    // Each listed connection under the tag of its row; tags grow, so the
    // map's order is the order they were added in.
    std::map<size_t, ShownConnection> m_rows;
    size_t m_nextTag = 0;
    ListDialogLayout m_layout;
};

// Opens the dialog for one command, configured by setUp; a restart as
// administrator accepted in it runs after it has closed.
struct ConnectionsDialogOutcome {
    bool restarted = false;
};
ConnectionsDialogOutcome RunConnectionsDialog(ProcessSystem& processes,
                                              const std::function<void(CConnectionsDlg&)>& setUp);
