#include <gtest/gtest.h>

#include "network/Connections.h"

namespace {

ConnectionEndpoint V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
    ConnectionEndpoint endpoint;
    endpoint.address = {a, b, c, d};
    endpoint.port = port;
    return endpoint;
}

ConnectionEndpoint V6(std::array<uint16_t, 8> groups, uint16_t port, uint32_t scope = 0) {
    ConnectionEndpoint endpoint;
    for (size_t index = 0; index < groups.size(); ++index) {
        endpoint.address[2 * index] = static_cast<uint8_t>(groups[index] >> 8);
        endpoint.address[2 * index + 1] = static_cast<uint8_t>(groups[index] & 0xFF);
    }
    endpoint.port = port;
    endpoint.scopeId = scope;
    return endpoint;
}

ShownConnection Tcp(ConnectionEndpoint local, ConnectionEndpoint remote, TcpState state, uint32_t pid,
                    std::string name = "app.exe") {
    return {{ConnectionProtocol::Tcp, local, remote, state, pid}, std::move(name)};
}

ShownConnection Udp(ConnectionEndpoint local, uint32_t pid, std::string name = "app.exe") {
    return {{ConnectionProtocol::Udp, local, {}, TcpState::None, pid}, std::move(name)};
}

std::string V6Text(std::array<uint16_t, 8> groups, uint32_t scope = 0) {
    return AddressText(V6(groups, 0, scope), true);
}

}  // namespace

TEST(ConnectionTexts, TableValuesAreInNetworkByteOrder) {
    // Port 443 (0x01BB) is stored as the bytes 01 BB: the value 0xBB01.
    EXPECT_EQ(PortFromTableValue(0xBB01u), 443);
    EXPECT_EQ(PortFromTableValue(0xFFFF0050u), 0x5000) << "the high half is not part of the port";
    // 192.168.1.5 stored as C0 A8 01 05 reads as 0x0501A8C0.
    const std::array<uint8_t, 16> address = Ipv4FromTableValue(0x0501A8C0u);
    EXPECT_EQ(AddressText({address, 0, 0}, false), "192.168.1.5");
    EXPECT_EQ(address[4], 0);
}

TEST(ConnectionTexts, Ipv4EndpointsShowAddressAndPort) {
    EXPECT_EQ(EndpointText(V4(192, 168, 1, 5, 443), false), "192.168.1.5:443");
    EXPECT_EQ(EndpointText(V4(0, 0, 0, 0, 0), false), "0.0.0.0:0");
    EXPECT_EQ(EndpointText(V4(255, 255, 255, 255, 65535), false), "255.255.255.255:65535");
}

TEST(ConnectionTexts, Ipv6CompressesTheLongestZeroRun) {
    EXPECT_EQ(V6Text({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), "2001:db8::1");
    EXPECT_EQ(V6Text({0, 0, 0, 0, 0, 0, 0, 0}), "::");
    EXPECT_EQ(V6Text({0, 0, 0, 0, 0, 0, 0, 1}), "::1");
    EXPECT_EQ(V6Text({0xfe80, 0, 0, 0, 0, 0, 0, 0}), "fe80::");
    // The longer run wins; of equal runs the first.
    EXPECT_EQ(V6Text({1, 0, 0, 2, 0, 0, 0, 3}), "1:0:0:2::3");
    EXPECT_EQ(V6Text({1, 0, 0, 2, 0, 0, 3, 4}), "1::2:0:0:3:4");
    // A single zero group is not compressed.
    EXPECT_EQ(V6Text({1, 0, 2, 3, 4, 5, 6, 7}), "1:0:2:3:4:5:6:7");
    EXPECT_EQ(V6Text({0xABCD, 0x12, 0xFFFF, 1, 2, 3, 4, 5}), "abcd:12:ffff:1:2:3:4:5");
    EXPECT_EQ(V6Text({0, 0, 0, 0, 0, 0xffff, 0x0102, 0x0304}), "::ffff:1.2.3.4");
    EXPECT_EQ(V6Text({0, 0, 0, 0, 0, 0xfffe, 0x0102, 0x0304}), "::fffe:102:304");
    EXPECT_EQ(V6Text({0, 0, 0, 0, 0, 0xfeff, 0x0102, 0x0304}), "::feff:102:304");
}

TEST(ConnectionTexts, Ipv6EndpointsAreBracketedWithTheirScope) {
    EXPECT_EQ(EndpointText(V6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 443), true), "[2001:db8::1]:443");
    EXPECT_EQ(EndpointText(V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 3), true), "[fe80::1%3]:80");
    EXPECT_EQ(EndpointText(V6({0, 0, 0, 0, 0, 0, 0, 0}, 135), true), "[::]:135");
}

TEST(ConnectionTexts, ListenersAndUdpHaveNoRemoteSide) {
    EXPECT_EQ(RemoteText(Tcp(V4(0, 0, 0, 0, 80), V4(0, 0, 0, 0, 0), TcpState::Listen, 1).row), "-");
    EXPECT_EQ(RemoteText(Udp(V4(0, 0, 0, 0, 53), 1).row), "-");
    EXPECT_EQ(RemoteText(Tcp(V4(10, 0, 0, 1, 5000), V4(10, 0, 0, 2, 80), TcpState::TimeWait, 0).row), "10.0.0.2:80");
    ShownConnection v6 =
        Tcp(V6({0, 0, 0, 0, 0, 0, 0, 1}, 5000), V6({0, 0, 0, 0, 0, 0, 0, 1}, 80), TcpState::SynSent, 1);
    v6.row.protocol = ConnectionProtocol::Tcp6;
    EXPECT_EQ(RemoteText(v6.row), "[::1]:80");
}

TEST(ConnectionTexts, ProtocolAndStateWords) {
    EXPECT_STREQ(ProtocolText(ConnectionProtocol::Tcp), "TCP");
    EXPECT_STREQ(ProtocolText(ConnectionProtocol::Tcp6), "TCPv6");
    EXPECT_STREQ(ProtocolText(ConnectionProtocol::Udp), "UDP");
    EXPECT_STREQ(ProtocolText(ConnectionProtocol::Udp6), "UDPv6");
    const std::pair<TcpState, const char*> words[] = {
        {TcpState::Listen, "监听"},          {TcpState::Established, "已建立"}, {TcpState::SynSent, "正在连接"},
        {TcpState::SynReceived, "正在接受"}, {TcpState::CloseWait, "等待关闭"}, {TcpState::FinWait1, "正在关闭"},
        {TcpState::FinWait2, "正在关闭"},    {TcpState::Closing, "正在关闭"},   {TcpState::LastAck, "正在关闭"},
        {TcpState::TimeWait, "等待超时"},    {TcpState::Closed, "已关闭"},      {TcpState::DeleteTcb, "已关闭"},
    };
    for (const auto& [state, word] : words) {
        ShownConnection shown = Tcp({}, {}, state, 1);
        EXPECT_EQ(StateText(shown.row), word) << static_cast<int>(state);
        shown.row.protocol = ConnectionProtocol::Tcp6;
        EXPECT_EQ(StateText(shown.row), word) << static_cast<int>(state);
    }
    EXPECT_EQ(StateText(Udp({}, 1).row), "");
    ShownConnection udp6 = Udp({}, 1);
    udp6.row.protocol = ConnectionProtocol::Udp6;
    EXPECT_EQ(StateText(udp6.row), "");
    EXPECT_EQ(StateText(Tcp({}, {}, static_cast<TcpState>(99), 1).row), "99");
}

TEST(ConnectionTexts, CellsNameTheOwnerOrNone) {
    const ShownConnection owned = Tcp(V4(127, 0, 0, 1, 5000), V4(127, 0, 0, 1, 80), TcpState::Established, 42, "a.exe");
    EXPECT_EQ(ConnectionCells(owned),
              (std::vector<std::string>{"a.exe", "42", "TCP", "127.0.0.1:5000", "127.0.0.1:80", "已建立"}));
    const ShownConnection ownerless = Tcp(V4(127, 0, 0, 1, 80), V4(127, 0, 0, 1, 5000), TcpState::TimeWait, 0, "x");
    EXPECT_EQ(ConnectionCells(ownerless)[kConnectionProcessColumn], kNoOwnerText);
    EXPECT_EQ(ConnectionCells(ownerless)[kConnectionPidColumn], "0");
}

TEST(ConnectionSort, AddressesCompareByValueNotText) {
    const ShownConnection nine = Tcp(V4(9, 0, 0, 1, 80), V4(1, 1, 1, 1, 9), TcpState::Established, 1);
    const ShownConnection ten = Tcp(V4(10, 0, 0, 1, 80), V4(1, 1, 1, 1, 10), TcpState::Established, 1);
    EXPECT_LT(CompareConnections(nine, ten, kConnectionLocalColumn), 0);
    EXPECT_GT(CompareConnections(ten, nine, kConnectionLocalColumn), 0);
    EXPECT_EQ(CompareConnections(nine, nine, kConnectionLocalColumn), 0);
    // The same address: by port as a number.
    const ShownConnection port9 = Tcp(V4(1, 0, 0, 1, 9), {}, TcpState::Established, 1);
    const ShownConnection port10 = Tcp(V4(1, 0, 0, 1, 10), {}, TcpState::Established, 1);
    EXPECT_LT(CompareConnections(port9, port10, kConnectionLocalColumn), 0);
    EXPECT_LT(CompareConnections(nine, ten, kConnectionRemoteColumn), 0) << "remote ports 9 and 10";
    EXPECT_GT(CompareConnections(ten, nine, kConnectionRemoteColumn), 0);
    // IPv4 before IPv6.
    ShownConnection v6 =
        Tcp(V6({0, 0, 0, 0, 0, 0, 0, 1}, 1), V6({0, 0, 0, 0, 0, 0, 0, 1}, 1), TcpState::Established, 1);
    v6.row.protocol = ConnectionProtocol::Tcp6;
    EXPECT_LT(CompareConnections(ten, v6, kConnectionLocalColumn), 0);
    EXPECT_GT(CompareConnections(v6, ten, kConnectionLocalColumn), 0);
    EXPECT_LT(CompareConnections(ten, v6, kConnectionRemoteColumn), 0);
    EXPECT_GT(CompareConnections(v6, ten, kConnectionRemoteColumn), 0);
    // Scopes tell link-local addresses apart.
    const ShownConnection scope1 = {{ConnectionProtocol::Tcp6, V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 1, 1), {}}, "a"};
    const ShownConnection scope2 = {{ConnectionProtocol::Tcp6, V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 1, 2), {}}, "a"};
    EXPECT_LT(CompareConnections(scope1, scope2, kConnectionLocalColumn), 0);
    EXPECT_GT(CompareConnections(scope2, scope1, kConnectionLocalColumn), 0);
}

TEST(ConnectionSort, RowsWithoutRemoteSideComeFirst) {
    const ShownConnection listener = Tcp(V4(0, 0, 0, 0, 80), V4(0, 0, 0, 0, 0), TcpState::Listen, 1);
    const ShownConnection connected = Tcp(V4(1, 0, 0, 1, 5), V4(0, 0, 0, 0, 1), TcpState::Established, 1);
    const ShownConnection udp = Udp(V4(0, 0, 0, 0, 53), 1);
    EXPECT_LT(CompareConnections(listener, connected, kConnectionRemoteColumn), 0);
    EXPECT_GT(CompareConnections(connected, listener, kConnectionRemoteColumn), 0);
    EXPECT_EQ(CompareConnections(listener, udp, kConnectionRemoteColumn), 0);
}

TEST(ConnectionSort, OtherColumns) {
    ShownConnection a = Tcp({}, {}, TcpState::Listen, 9, "Alpha.exe");
    ShownConnection b = Tcp({}, {}, TcpState::Established, 10, "beta.exe");
    EXPECT_LT(CompareConnections(a, b, kConnectionPidColumn), 0);
    EXPECT_GT(CompareConnections(b, a, kConnectionPidColumn), 0);
    EXPECT_LT(CompareConnections(a, b, kConnectionProcessColumn), 0) << "case does not count";
    EXPECT_GT(CompareConnections(b, a, kConnectionProcessColumn), 0);
    EXPECT_LT(CompareConnections(a, b, kConnectionStateColumn), 0);
    EXPECT_GT(CompareConnections(b, a, kConnectionStateColumn), 0);
    ShownConnection shortName = Tcp({}, {}, TcpState::Listen, 9, "alph");
    EXPECT_LT(CompareConnections(shortName, a, kConnectionProcessColumn), 0);
    EXPECT_GT(CompareConnections(a, shortName, kConnectionProcessColumn), 0);
    ShownConnection upper = Tcp({}, {}, TcpState::Listen, 9, "ALPHA.EXE");
    EXPECT_EQ(CompareConnections(upper, a, kConnectionProcessColumn), 0);
    ShownConnection udp = Udp({}, 1);
    EXPECT_LT(CompareConnections(a, udp, kConnectionProtocolColumn), 0);
    EXPECT_GT(CompareConnections(udp, a, kConnectionProtocolColumn), 0);
    EXPECT_EQ(CompareConnections(a, b, kConnectionColumnCount), 0);
    // The owner "（无）" sorts as shown, not by the name the look gave the pid.
    ShownConnection none = Tcp({}, {}, TcpState::TimeWait, 0, "zzz");
    ShownConnection named = Tcp({}, {}, TcpState::TimeWait, 5, std::string(kNoOwnerText) + "a");
    EXPECT_LT(CompareConnections(none, named, kConnectionProcessColumn), 0);
}

TEST(ConnectionUpdate, RowsStayChangeGoAndArrive) {
    const ShownConnection listener = Tcp(V4(127, 0, 0, 1, 80), {}, TcpState::Listen, 10);
    const ShownConnection client = Tcp(V4(127, 0, 0, 1, 5000), V4(127, 0, 0, 1, 80), TcpState::SynSent, 11);
    const ShownConnection gone = Udp(V4(0, 0, 0, 0, 53), 12);
    ShownConnection established = client;
    established.row.state = TcpState::Established;
    const ShownConnection fresh = Udp(V4(0, 0, 0, 0, 67), 13);
    const ConnectionChanges changes = DiffConnections({listener, gone, client}, {fresh, established, listener});
    EXPECT_EQ(changes.removed, (std::vector<size_t>{1}));
    EXPECT_EQ(changes.changed, (std::vector<std::pair<size_t, size_t>>{{2, 1}}));
    EXPECT_EQ(changes.added, (std::vector<size_t>{0}));
}

TEST(ConnectionUpdate, OwnerAndEndpointsMakeTheIdentity) {
    const ShownConnection before = Tcp(V4(127, 0, 0, 1, 80), V4(127, 0, 0, 1, 5000), TcpState::Established, 0);
    ShownConnection owned = before;
    owned.row.pid = 7;
    EXPECT_FALSE(IsSameConnection(before.row, owned.row));
    ShownConnection otherPort = before;
    otherPort.row.remote.port = 5001;
    EXPECT_FALSE(IsSameConnection(before.row, otherPort.row));
    ShownConnection otherScope = before;
    otherScope.row.local.scopeId = 2;
    EXPECT_FALSE(IsSameConnection(before.row, otherScope.row));
    ShownConnection otherProtocol = before;
    otherProtocol.row.protocol = ConnectionProtocol::Tcp6;
    EXPECT_FALSE(IsSameConnection(before.row, otherProtocol.row));
    ShownConnection otherState = before;
    otherState.row.state = TcpState::CloseWait;
    EXPECT_TRUE(IsSameConnection(before.row, otherState.row));

    const ConnectionChanges changes = DiffConnections({before}, {owned});
    EXPECT_EQ(changes.removed, (std::vector<size_t>{0}));
    EXPECT_TRUE(changes.changed.empty());
    EXPECT_EQ(changes.added, (std::vector<size_t>{0}));
}

TEST(ConnectionUpdate, EqualRowsPairUpInOrderAndRenamesCount) {
    const ShownConnection udp = Udp(V4(0, 0, 0, 0, 53), 5, "old.exe");
    ShownConnection renamed = udp;
    renamed.processName = "new.exe";
    // Two equal rows shown, three read: the first two pair up, the third is new.
    ConnectionChanges changes = DiffConnections({udp, udp}, {udp, renamed, udp});
    EXPECT_TRUE(changes.removed.empty());
    EXPECT_EQ(changes.changed, (std::vector<std::pair<size_t, size_t>>{{1, 1}}));
    EXPECT_EQ(changes.added, (std::vector<size_t>{2}));
    changes = DiffConnections({udp, udp, udp}, {udp});
    EXPECT_EQ(changes.removed, (std::vector<size_t>{1, 2}));
    EXPECT_TRUE(changes.added.empty());
    changes = DiffConnections({}, {udp, udp});
    EXPECT_EQ(changes.added, (std::vector<size_t>{0, 1}));
}

TEST(ConnectionCommands, DisconnectOnlyEstablishedIpv4Tcp) {
    ShownConnection row = Tcp(V4(10, 0, 0, 1, 5000), V4(10, 0, 0, 2, 443), TcpState::Established, 42, "a.exe");
    EXPECT_TRUE(CanDisconnect(row.row));
    EXPECT_EQ(DisconnectQuestion(row), "确定要断开 a.exe 的连接 10.0.0.1:5000 -> 10.0.0.2:443 吗？");
    EXPECT_EQ(DisconnectLogLine(row, {2026, 12, 8, 13, 56, 27}, true),
              "2026-12-08 13:56:27  断开连接  a.exe  PID 42  10.0.0.1:5000 -> 10.0.0.2:443  已断开\r\n");
    row.processName = "evil\r\n.exe";
    EXPECT_EQ(DisconnectLogLine(row, {2026, 1, 2, 3, 4, 5}, false),
              "2026-01-02 03:04:05  断开连接  evil  .exe  PID 42  10.0.0.1:5000 -> 10.0.0.2:443  未能断开\r\n");
    for (const TcpState state : {TcpState::Listen, TcpState::TimeWait, TcpState::SynSent, TcpState::CloseWait}) {
        row.row.state = state;
        EXPECT_FALSE(CanDisconnect(row.row)) << static_cast<int>(state);
    }
    row.row.state = TcpState::Established;
    row.row.protocol = ConnectionProtocol::Tcp6;
    EXPECT_FALSE(CanDisconnect(row.row));
    EXPECT_FALSE(CanDisconnect(Udp({}, 1).row));
}

TEST(ConnectionCommands, ClipboardTextAndCountLine) {
    EXPECT_EQ(ConnectionsClipboardText({{"进程", "PID"}, {"a.exe", "1"}, {"", "0"}}),
              "进程\tPID\r\na.exe\t1\r\n\t0\r\n");
    EXPECT_EQ(ConnectionsClipboardText({}), "");
    const std::vector<ConnectionRow> rows = {
        Tcp(V4(0, 0, 0, 0, 80), {}, TcpState::Listen, 7).row,
        Tcp(V4(127, 0, 0, 1, 80), V4(127, 0, 0, 1, 5000), TcpState::Established, 7).row,
        Udp(V4(0, 0, 0, 0, 53), 7).row,
        Tcp(V4(0, 0, 0, 0, 81), {}, TcpState::Listen, 8).row,
    };
    EXPECT_EQ(ConnectionCountLine(rows, 7), "网络连接: 3 个（监听 1 个）");
    EXPECT_EQ(ConnectionCountLine(rows, 8), "网络连接: 1 个（监听 1 个）");
    EXPECT_EQ(ConnectionCountLine(rows, 9), "网络连接: 0 个（监听 0 个）");
}

TEST(ConnectionTexts, TableValuesGoBackUnchanged) {
    EXPECT_EQ(PortTableValue(443), 0xBB01u);
    EXPECT_EQ(PortFromTableValue(PortTableValue(0x1234)), 0x1234);
    EXPECT_EQ(Ipv4TableValue(Ipv4FromTableValue(0x0501A8C0u)), 0x0501A8C0u);
    std::array<uint8_t, 16> address = {1, 2, 3, 4, 9, 9};
    EXPECT_EQ(Ipv4TableValue(address), 0x04030201u) << "only the first four bytes";
}

TEST(ConnectionCommands, DisconnectRefusalsOfferRights) {
    EXPECT_EQ(DisconnectOutcomeOf(0), DisconnectOutcome::Disconnected);
    EXPECT_EQ(DisconnectOutcomeOf(5), DisconnectOutcome::Denied);
    EXPECT_EQ(DisconnectOutcomeOf(317), DisconnectOutcome::Denied);
    EXPECT_EQ(DisconnectOutcomeOf(87), DisconnectOutcome::Failed);
}

TEST(ConnectionOwners, NamesAndStartTimesComeFromTheLook) {
    ProcessSample look;
    look.processes = {{10, "server.exe", 0, 1000, 0, 0, 0}, {11, "client.exe", 0, 2000, 0, 0, 0}};
    const std::vector<ConnectionRow> rows = {
        Tcp(V4(127, 0, 0, 1, 80), {}, TcpState::Listen, 10).row,
        Tcp(V4(127, 0, 0, 1, 5000), V4(127, 0, 0, 1, 80), TcpState::Established, 11).row,
        Tcp(V4(127, 0, 0, 1, 80), V4(127, 0, 0, 1, 5000), TcpState::Established, 0).row,
        Udp(V4(0, 0, 0, 0, 53), 12).row,
    };
    const std::vector<ShownConnection> all = ShowConnections(rows, look, nullptr);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].processName, "server.exe");
    EXPECT_EQ(all[0].owner().startTime, 1000u);
    EXPECT_EQ(all[1].processName, "client.exe");
    EXPECT_EQ(all[1].owner().pid, 11u);
    EXPECT_EQ(all[2].processName, "");
    EXPECT_EQ(all[3].processName, "") << "a pid the look lacks";
    EXPECT_EQ(all[3].startTime, 0u);

    const ProcessInstance server{10, 1000};
    const std::vector<ShownConnection> mine = ShowConnections(rows, look, &server);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].row.pid, 10u);
    const ProcessInstance reused{10, 999};
    EXPECT_TRUE(ShowConnections(rows, look, &reused).empty()) << "the pid names another process now";
    const ProcessInstance unknownStart{11, 0};
    EXPECT_EQ(ShowConnections(rows, look, &unknownStart).size(), 1u);
}
