// Network connections as plain data: one row of the system's TCP or UDP
// table, its texts as the connections dialog shows them, the order of a
// sorted column, and the change from one reading of the tables to the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "process/ProcessInstance.h"
#include "process/ProcessSystem.h"
#include "process/ProcessUsage.h"

enum class ConnectionProtocol { Tcp, Tcp6, Udp, Udp6 };

// The system's numbers of a TCP connection's state.
enum class TcpState : uint32_t {
    None = 0,  // a UDP endpoint has no state
    Closed = 1,
    Listen = 2,
    SynSent = 3,
    SynReceived = 4,
    Established = 5,
    FinWait1 = 6,
    FinWait2 = 7,
    CloseWait = 8,
    Closing = 9,
    LastAck = 10,
    TimeWait = 11,
    DeleteTcb = 12,
};

// An address and port; an IPv4 address fills the first four bytes.
struct ConnectionEndpoint {
    std::array<uint8_t, 16> address{};
    uint32_t scopeId = 0;  // IPv6 only: the interface a link-local address belongs to
    uint16_t port = 0;     // host order
};

struct ConnectionRow {
    ConnectionProtocol protocol = ConnectionProtocol::Tcp;
    ConnectionEndpoint local;
    ConnectionEndpoint remote;
    TcpState state = TcpState::None;
    uint32_t pid = 0;  // 0: the system names no owner
};

bool IsIpv6(ConnectionProtocol protocol);
bool IsTcp(ConnectionProtocol protocol);

// The tables hold a port in network byte order in the low 16 bits of a
// 32-bit value, and an IPv4 address as four bytes in network order read as
// a little-endian 32-bit value.
uint16_t PortFromTableValue(uint32_t value);
std::array<uint8_t, 16> Ipv4FromTableValue(uint32_t value);
// The same values back, for a row handed to the system.
uint32_t PortTableValue(uint16_t port);
uint32_t Ipv4TableValue(const std::array<uint8_t, 16>& address);

// "192.168.1.5"; "2001:db8::1" (the longest run of two or more zero groups
// written "::", the first of equal runs), "fe80::1%3" with a scope,
// "::ffff:1.2.3.4" for an IPv4-mapped address.
std::string AddressText(const ConnectionEndpoint& endpoint, bool ipv6);
// "192.168.1.5:443", "[2001:db8::1]:443".
std::string EndpointText(const ConnectionEndpoint& endpoint, bool ipv6);
// The remote column: "-" for a listener and a UDP endpoint, which have no
// remote side.
std::string RemoteText(const ConnectionRow& row);
const char* ProtocolText(ConnectionProtocol protocol);
// 状态: 监听, 已建立, ...; empty for UDP.
std::string StateText(const ConnectionRow& row);

// Columns of the connections list, in order.
enum ConnectionColumn {
    kConnectionProcessColumn,
    kConnectionPidColumn,
    kConnectionProtocolColumn,
    kConnectionLocalColumn,
    kConnectionRemoteColumn,
    kConnectionStateColumn,
    kConnectionColumnCount,
};

// 进程 of a row whose owner the system does not name.
extern const char* const kNoOwnerText;

// What a row shows: the connection and its process's name (kNoOwnerText for
// pid 0; the name from the look of the processes otherwise).
struct ShownConnection {
    ConnectionRow row;
    std::string processName;
    uint64_t startTime = 0;  // of the owner, from the same look; 0 when unknown
    ProcessInstance owner() const { return {row.pid, startTime}; }
};
// The rows of a reading with their owners' names and start times from a look
// at the processes (a pid the look lacks keeps an empty name); with only, the
// rows of that process alone (an owner whose start time is known differs
// from a reused pid).
std::vector<ShownConnection> ShowConnections(const std::vector<ConnectionRow>& rows, const ProcessSample& look,
                                             const ProcessInstance* only);
std::vector<std::string> ConnectionCells(const ShownConnection& shown);

// The order of two rows by a column, ascending (negative: a first):
// addresses by family, bytes and port, not by their texts; pids as numbers;
// states in the system's order; names without regard to ASCII case.
int CompareConnections(const ShownConnection& a, const ShownConnection& b, int column);

// The same connection in two readings: the same protocol, both endpoints and
// owner. Its state may have changed.
bool IsSameConnection(const ConnectionRow& a, const ConnectionRow& b);

// How the rows shown become a fresh reading: which of them go (indices into
// shown, ascending), which stay but read differently (shown index, fresh
// index), and which fresh rows are new (indices into fresh, ascending). Rows
// that stay keep their place; equal rows pair up in order.
struct ConnectionChanges {
    std::vector<size_t> removed;
    std::vector<std::pair<size_t, size_t>> changed;
    std::vector<size_t> added;
};
ConnectionChanges DiffConnections(const std::vector<ShownConnection>& shown, const std::vector<ShownConnection>& fresh);

// 复制: the headings, then each row's cells, separated by tabs, a line each
// (CRLF).
std::string ConnectionsClipboardText(const std::vector<std::vector<std::string>>& rows);

// Whether 断开连接 applies: an established IPv4 TCP connection.
bool CanDisconnect(const ConnectionRow& row);
// What became of 断开连接: the system refuses it to a program without
// administrator rights (access denied, or "mid not found" on some versions).
enum class DisconnectOutcome { Disconnected, Denied, Failed };
DisconnectOutcome DisconnectOutcomeOf(uint32_t error);
// "确定要断开 <name> 的连接 <local> -> <remote> 吗？"
std::string DisconnectQuestion(const ShownConnection& shown);
// The line of tarvemonix.log, with CR LF: "2026-12-08 13:56:27  断开连接  NAME
// PID 1234  <local> -> <remote>  已断开" (or 未能断开).
std::string DisconnectLogLine(const ShownConnection& shown, const LocalTime& time, bool disconnected);

// "网络连接: <n> 个（监听 <m> 个）" of the process pid.
std::string ConnectionCountLine(const std::vector<ConnectionRow>& rows, uint32_t pid);
