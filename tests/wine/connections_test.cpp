// The connections dialog over the system's real tables: a helper listening
// on 127.0.0.1 and one connected to it are listed with their pids,
// protocol, addresses and states, and go once they end; 中止进程 acts on the
// row's process, 断开连接 asks first, and 复制 copies the rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/FormatText.h"
#include "framework/Text.h"
#include "network/ConnectionsDlg.h"
#include "network/Win32ConnectionSystem.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

// A port of this run's own, so that two runs at once do not meet.
uint16_t TestPort() { return static_cast<uint16_t>(20000 + GetCurrentProcessId() % 20000); }

// The row of a helper's socket: its local port (the listener's) or remote
// port (the client's) and state. Wine names a socket's owner only in some
// setups (pid 0 otherwise); Windows always does.
const ShownConnection* FindRow(const std::vector<ShownConnection>& rows, uint16_t port, bool local, TcpState state) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const ShownConnection& row) {
        return (local ? row.row.local.port : row.row.remote.port) == port && row.row.state == state &&
               row.row.protocol == ConnectionProtocol::Tcp;
    });
    return found == rows.end() ? nullptr : &*found;
}

// Renews the dialog until check holds, for at most ten seconds: a helper
// takes a moment to start and to use its socket.
template <typename Check>
bool UpdateUntil(CConnectionsDlg& dialog, Check check) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        dialog.Update();
        if (check(dialog.Connections())) return true;
        PumpMessages(100);
    }
    return false;
}

void Select(const CListCtrl& list, int row, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

TEST(ConnectionsDialog, ListsHelpersWithOwnersAddressesAndStatesUntilTheyEnd) {
    const uint16_t port = TestPort();
    auto server = std::make_unique<HelperProcess>("tvx_net_server.exe", 60, FormatText("listen %u", port));
    ASSERT_TRUE(server->started());
    Win32ProcessSystem processes;
    ScriptedPrompt prompt;
    CConnectionsDlg dialog(processes);
    dialog.SetMessagePrompt(&prompt);
    std::vector<SelectedProcess> terminated;
    dialog.SetTerminate([&](const SelectedProcess& owner, MessagePrompt&) { terminated.push_back(owner); });
    dialog.SetBlock([](const SelectedProcess&, MessagePrompt&) {});
    ASSERT_TRUE(dialog.Create());

    const bool listed = UpdateUntil(dialog, [&](const std::vector<ShownConnection>& rows) {
        return FindRow(rows, port, true, TcpState::Listen) != nullptr;
    });
    ASSERT_TRUE(listed);
    auto client = std::make_unique<HelperProcess>("tvx_net_client.exe", 60, FormatText("connect %u", port));
    ASSERT_TRUE(client->started());
    ASSERT_TRUE(UpdateUntil(dialog, [&](const std::vector<ShownConnection>& rows) {
        return FindRow(rows, port, false, TcpState::Established) != nullptr;
    }));

    const std::vector<ShownConnection> rows = dialog.Connections();
    const ShownConnection* listener = FindRow(rows, port, true, TcpState::Listen);
    ASSERT_NE(listener, nullptr);
    const std::vector<std::string> listenerCells = ConnectionCells(*listener);
    EXPECT_TRUE(listener->row.pid == server->pid() || listener->row.pid == 0) << listener->row.pid;
    if (listener->row.pid != 0) {
        EXPECT_EQ(listenerCells[kConnectionProcessColumn], "tvx_net_server.exe");
    }
    EXPECT_EQ(listenerCells[kConnectionProtocolColumn], "TCP");
    EXPECT_EQ(listenerCells[kConnectionLocalColumn], FormatText("127.0.0.1:%u", port));
    EXPECT_EQ(listenerCells[kConnectionRemoteColumn], "-");
    EXPECT_EQ(listenerCells[kConnectionStateColumn], "监听");
    const ShownConnection* connection = FindRow(rows, port, false, TcpState::Established);
    ASSERT_NE(connection, nullptr);
    const std::vector<std::string> cells = ConnectionCells(*connection);
    EXPECT_TRUE(connection->row.pid == client->pid() || connection->row.pid == 0) << connection->row.pid;
    EXPECT_EQ(cells[kConnectionLocalColumn].rfind("127.0.0.1:", 0), 0u);
    EXPECT_EQ(cells[kConnectionRemoteColumn], FormatText("127.0.0.1:%u", port));
    EXPECT_EQ(cells[kConnectionStateColumn], "已建立");
    // The list shows the same rows as the dialog holds.
    EXPECT_EQ(dialog.m_list.GetItemCount(), static_cast<int>(rows.size()));

    client.reset();
    server.reset();
    EXPECT_TRUE(UpdateUntil(dialog, [&](const std::vector<ShownConnection>& left) {
        return std::none_of(left.begin(), left.end(), [&](const ShownConnection& shown) {
            return shown.row.local.port == port && shown.row.state == TcpState::Listen;
        });
    }));
    ::DestroyWindow(dialog.m_hWnd);
}

// Tables of a test's own, owned by a real helper: the row commands and the
// one-process view need an owner, which Wine does not always name.
class ScriptedTables : public ConnectionSystem {
public:
    std::vector<ConnectionRow> rows;
    std::vector<ConnectionRow> disconnected;
    bool ReadConnections(std::vector<ConnectionRow>& read) override {
        read = rows;
        return true;
    }
    DisconnectOutcome Disconnect(const ConnectionRow& row) override {
        disconnected.push_back(row);
        return DisconnectOutcome::Denied;
    }
};

TEST(ConnectionsDialog, RowCommandsActOnTheOwnerAndOneProcessShowsAlone) {
    HelperProcess owner("tvx_net_owner.exe", 60);
    ASSERT_TRUE(owner.started());
    ScriptedTables tables;
    ConnectionRow connected{ConnectionProtocol::Tcp, {}, {}, TcpState::Established, owner.pid()};
    connected.local.address = {127, 0, 0, 1};
    connected.local.port = 5000;
    connected.remote.address = {127, 0, 0, 1};
    connected.remote.port = 80;
    ConnectionRow ownerless = connected;
    ownerless.pid = 0;
    ownerless.state = TcpState::TimeWait;
    ownerless.local.port = 5001;
    tables.rows = {ownerless, connected};
    Win32ProcessSystem processes;
    ScriptedPrompt prompt;
    CConnectionsDlg dialog(processes);
    dialog.SetMessagePrompt(&prompt);
    dialog.SetConnectionSystem(&tables);
    std::vector<SelectedProcess> terminated;
    dialog.SetTerminate([&](const SelectedProcess& process, MessagePrompt&) { terminated.push_back(process); });
    dialog.SetBlock([](const SelectedProcess&, MessagePrompt&) {});
    ASSERT_TRUE(dialog.Create());
    ASSERT_EQ(dialog.m_list.GetItemCount(), 2);

    // The ownerless row: 中止进程 and 封锁 grey.
    Select(dialog.m_list, 0, true);
    ASSERT_NE(dialog.SelectedConnection(), nullptr);
    EXPECT_EQ(ConnectionCells(*dialog.SelectedConnection())[kConnectionProcessColumn], kNoOwnerText);
    EXPECT_FALSE(dialog.m_btnTerminate.IsWindowEnabled());
    EXPECT_FALSE(dialog.m_btnBlock.IsWindowEnabled());
    EXPECT_FALSE(dialog.m_btnDisconnect.IsWindowEnabled());
    Select(dialog.m_list, 0, false);

    // The owned row stays selected through an update in which the other goes
    // and its own state is renewed in place.
    Select(dialog.m_list, 1, true);
    tables.rows = {connected};
    dialog.Update();
    ASSERT_EQ(dialog.m_list.GetItemCount(), 1);
    ASSERT_NE(dialog.SelectedConnection(), nullptr);
    EXPECT_EQ(dialog.SelectedConnection()->row.pid, owner.pid());
    EXPECT_EQ(ConnectionCells(*dialog.SelectedConnection())[kConnectionProcessColumn], "tvx_net_owner.exe");
    EXPECT_TRUE(dialog.m_btnTerminate.IsWindowEnabled());
    EXPECT_TRUE(dialog.m_btnDisconnect.IsWindowEnabled());

    dialog.OnCopy();
    const std::string copied = TextFromWide(ClipboardText());
    EXPECT_EQ(copied, FormatText("进程\tPID\t协议\t本地地址\t远程地址\t状态\r\ntvx_net_owner.exe\t%u\tTCP\t127.0.0.1:"
                                 "5000\t127.0.0.1:80\t已建立\r\n",
                                 owner.pid()));

    dialog.OnTerminate();
    ASSERT_EQ(terminated.size(), 1u);
    EXPECT_EQ(terminated[0].pid, owner.pid());
    EXPECT_EQ(terminated[0].name, "tvx_net_owner.exe");
    EXPECT_EQ(terminated[0].startTime, StartTimeOfProcess(owner.pid()));

    // 断开连接 asks, is refused, and says so (no restart is offered without its hook).
    prompt.answers = {kIdYes};
    dialog.OnDisconnect();
    ASSERT_EQ(tables.disconnected.size(), 1u);
    EXPECT_EQ(tables.disconnected[0].local.port, 5000);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].text, "确定要断开 tvx_net_owner.exe 的连接 127.0.0.1:5000 -> 127.0.0.1:80 吗？");
    EXPECT_EQ(prompt.shown[1].text, "无法断开该连接。");
    ::DestroyWindow(dialog.m_hWnd);

    CConnectionsDlg only(processes);
    only.SetConnectionSystem(&tables);
    tables.rows = {ownerless, connected};
    only.ShowOnly({"tvx_net_owner.exe", owner.pid(), StartTimeOfProcess(owner.pid())});
    ASSERT_TRUE(only.Create());
    EXPECT_EQ(only.GetWindowText(), FormatText("网络连接 - tvx_net_owner.exe（PID %u）", owner.pid()));
    ASSERT_EQ(only.Connections().size(), 1u);
    EXPECT_EQ(only.Connections()[0].row.pid, owner.pid());
    ::DestroyWindow(only.m_hWnd);
}
