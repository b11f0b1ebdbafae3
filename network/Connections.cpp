#include "network/Connections.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "framework/FormatText.h"

const char* const kNoOwnerText = "（无）";

bool IsIpv6(ConnectionProtocol protocol) {
    return protocol == ConnectionProtocol::Tcp6 || protocol == ConnectionProtocol::Udp6;
}

bool IsTcp(ConnectionProtocol protocol) {
    return protocol == ConnectionProtocol::Tcp || protocol == ConnectionProtocol::Tcp6;
}

uint16_t PortFromTableValue(uint32_t value) {
    return static_cast<uint16_t>(((value & 0xFFu) << 8) | ((value >> 8) & 0xFFu));
}

std::array<uint8_t, 16> Ipv4FromTableValue(uint32_t value) {
    std::array<uint8_t, 16> address{};
    for (size_t index = 0; index < 4; ++index) address[index] = static_cast<uint8_t>(value >> (8 * index));
    return address;
}

uint32_t PortTableValue(uint16_t port) { return ((port & 0xFFu) << 8) | ((port >> 8) & 0xFFu); }

uint32_t Ipv4TableValue(const std::array<uint8_t, 16>& address) {
    uint32_t value = 0;
    for (size_t index = 0; index < 4; ++index) value |= uint32_t{address[index]} << (8 * index);
    return value;
}

namespace {

std::string Ipv4Text(const uint8_t* bytes) { return FormatText("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]); }

bool IsIpv4Mapped(const std::array<uint8_t, 16>& address) {
    return std::all_of(address.begin(), address.begin() + 10, [](uint8_t byte) { return byte == 0; }) &&
           address[10] == 0xFF && address[11] == 0xFF;
}

std::string Ipv6Text(const std::array<uint8_t, 16>& address) {
    if (IsIpv4Mapped(address)) return "::ffff:" + Ipv4Text(address.data() + 12);
    std::array<unsigned, 8> groups{};
    for (size_t index = 0; index < groups.size(); ++index) {
        groups[index] = (unsigned{address[2 * index]} << 8) | address[2 * index + 1];
    }
    // The longest run of zero groups, the first of equal ones; one alone stays "0".
    size_t bestStart = groups.size();
    size_t bestLength = 1;
    for (size_t start = 0; start < groups.size();) {
        size_t end = start;
        while (end < groups.size() && groups[end] == 0) ++end;
        if (end - start > bestLength) {
            bestStart = start;
            bestLength = end - start;
        }
        start = end == start ? start + 1 : end;
    }
    std::string text;
    for (size_t index = 0; index < groups.size(); ++index) {
        if (index == bestStart) {
            text += "::";
            index += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        text += FormatText("%x", groups[index]);
    }
    return text;
}

int CompareNumbers(uint64_t a, uint64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareEndpoints(const ConnectionEndpoint& a, const ConnectionEndpoint& b) {
    if (a.address != b.address) return a.address < b.address ? -1 : 1;
    if (a.port != b.port) return CompareNumbers(a.port, b.port);
    return CompareNumbers(a.scopeId, b.scopeId);
}

int CompareNames(const std::string& a, const std::string& b) {
    const auto lower = [](char byte) {
        return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
    };
    const size_t common = std::min(a.size(), b.size());
    for (size_t index = 0; index < common; ++index) {
        const auto x = static_cast<unsigned char>(lower(a[index]));
        const auto y = static_cast<unsigned char>(lower(b[index]));
        if (x != y) return x < y ? -1 : 1;
    }
    return CompareNumbers(a.size(), b.size());
}

// Listeners and UDP endpoints, which show no remote side, before every connection.
int CompareRemotes(const ConnectionRow& a, const ConnectionRow& b) {
    const bool aShown = RemoteText(a) != "-";
    const bool bShown = RemoteText(b) != "-";
    if (aShown != bShown) return aShown ? 1 : -1;
    return aShown ? CompareEndpoints(a.remote, b.remote) : 0;
}

using ConnectionKey =
    std::tuple<int, std::array<uint8_t, 16>, uint32_t, uint16_t, std::array<uint8_t, 16>, uint32_t, uint16_t, uint32_t>;
ConnectionKey KeyOf(const ConnectionRow& row) {
    return {static_cast<int>(row.protocol),
            row.local.address,
            row.local.scopeId,
            row.local.port,
            row.remote.address,
            row.remote.scopeId,
            row.remote.port,
            row.pid};
}

}  // namespace

std::string AddressText(const ConnectionEndpoint& endpoint, bool ipv6) {
    if (!ipv6) return Ipv4Text(endpoint.address.data());
    std::string text = Ipv6Text(endpoint.address);
    if (endpoint.scopeId != 0) text += FormatText("%%%u", endpoint.scopeId);
    return text;
}

std::string EndpointText(const ConnectionEndpoint& endpoint, bool ipv6) {
    const std::string address = AddressText(endpoint, ipv6);
    return (ipv6 ? "[" + address + "]" : address) + FormatText(":%u", endpoint.port);
}

std::string RemoteText(const ConnectionRow& row) {
    if (!IsTcp(row.protocol) || row.state == TcpState::Listen) return "-";
    return EndpointText(row.remote, IsIpv6(row.protocol));
}

const char* ProtocolText(ConnectionProtocol protocol) {
    switch (protocol) {
    case ConnectionProtocol::Tcp: return "TCP";
    case ConnectionProtocol::Tcp6: return "TCPv6";
    case ConnectionProtocol::Udp: return "UDP";
    case ConnectionProtocol::Udp6: return "UDPv6";
    }
    return "";
}

std::string StateText(const ConnectionRow& row) {
    if (!IsTcp(row.protocol)) return {};
    switch (row.state) {
    case TcpState::Listen: return "监听";
    case TcpState::Established: return "已建立";
    case TcpState::SynSent: return "正在连接";
    case TcpState::SynReceived: return "正在接受";
    case TcpState::CloseWait: return "等待关闭";
    case TcpState::FinWait1:
    case TcpState::FinWait2:
    case TcpState::Closing:
    case TcpState::LastAck: return "正在关闭";
    case TcpState::TimeWait: return "等待超时";
    case TcpState::Closed:
    case TcpState::DeleteTcb: return "已关闭";
    case TcpState::None: break;
    }
    return FormatText("%u", static_cast<unsigned>(row.state));
}

std::vector<std::string> ConnectionCells(const ShownConnection& shown) {
    const ConnectionRow& row = shown.row;
    return {row.pid == 0 ? std::string(kNoOwnerText) : shown.processName,
            FormatText("%u", row.pid),
            ProtocolText(row.protocol),
            EndpointText(row.local, IsIpv6(row.protocol)),
            RemoteText(row),
            StateText(row)};
}

int CompareConnections(const ShownConnection& a, const ShownConnection& b, int column) {
    switch (column) {
    case kConnectionProcessColumn: return CompareNames(ConnectionCells(a)[0], ConnectionCells(b)[0]);
    case kConnectionPidColumn: return CompareNumbers(a.row.pid, b.row.pid);
    case kConnectionProtocolColumn:
        return CompareNumbers(static_cast<uint64_t>(a.row.protocol), static_cast<uint64_t>(b.row.protocol));
    case kConnectionLocalColumn:
        if (IsIpv6(a.row.protocol) != IsIpv6(b.row.protocol)) return IsIpv6(a.row.protocol) ? 1 : -1;
        return CompareEndpoints(a.row.local, b.row.local);
    case kConnectionRemoteColumn:
        if (IsIpv6(a.row.protocol) != IsIpv6(b.row.protocol)) return IsIpv6(a.row.protocol) ? 1 : -1;
        return CompareRemotes(a.row, b.row);
    case kConnectionStateColumn:
        return CompareNumbers(static_cast<uint64_t>(a.row.state), static_cast<uint64_t>(b.row.state));
    default: return 0;
    }
}

std::vector<ShownConnection> ShowConnections(const std::vector<ConnectionRow>& rows, const ProcessSample& look,
                                             const ProcessInstance* only) {
    std::map<uint32_t, const SampledProcess*> processes;
    for (const SampledProcess& process : look.processes) processes.emplace(process.pid, &process);
    std::vector<ShownConnection> shown;
    for (const ConnectionRow& row : rows) {
        ShownConnection connection{row, {}, 0};
        const auto found = processes.find(row.pid);
        if (found != processes.end()) {
            connection.processName = found->second->name;
            connection.startTime = found->second->startTime;
        }
        if (only && (row.pid != only->pid || (only->startTime != 0 && connection.startTime != only->startTime))) {
            continue;
        }
        shown.push_back(std::move(connection));
    }
    return shown;
}

bool IsSameConnection(const ConnectionRow& a, const ConnectionRow& b) { return KeyOf(a) == KeyOf(b); }

ConnectionChanges DiffConnections(const std::vector<ShownConnection>& shown,
                                  const std::vector<ShownConnection>& fresh) {
    // Each key's fresh rows, in order, for the shown rows of that key to take.
    std::map<ConnectionKey, std::vector<size_t>> freshByKey;
    for (size_t index = fresh.size(); index-- > 0;) freshByKey[KeyOf(fresh[index].row)].push_back(index);
    std::vector<bool> taken(fresh.size(), false);
    ConnectionChanges changes;
    for (size_t index = 0; index < shown.size(); ++index) {
        const auto found = freshByKey.find(KeyOf(shown[index].row));
        if (found == freshByKey.end() || found->second.empty()) {
            changes.removed.push_back(index);
            continue;
        }
        const size_t match = found->second.back();
        found->second.pop_back();
        taken[match] = true;
        if (ConnectionCells(shown[index]) != ConnectionCells(fresh[match])) changes.changed.emplace_back(index, match);
    }
    for (size_t index = 0; index < fresh.size(); ++index) {
        if (!taken[index]) changes.added.push_back(index);
    }
    return changes;
}

std::string ConnectionsClipboardText(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const std::vector<std::string>& cells : rows) {
        for (size_t index = 0; index < cells.size(); ++index) {
            if (index > 0) text += '\t';
            text += cells[index];
        }
        text += "\r\n";
    }
    return text;
}

bool CanDisconnect(const ConnectionRow& row) {
    return row.protocol == ConnectionProtocol::Tcp && row.state == TcpState::Established;
}

DisconnectOutcome DisconnectOutcomeOf(uint32_t error) {
    constexpr uint32_t kAccessDenied = 5;
    constexpr uint32_t kMidNotFound = 317;
    if (error == 0) return DisconnectOutcome::Disconnected;
    return error == kAccessDenied || error == kMidNotFound ? DisconnectOutcome::Denied : DisconnectOutcome::Failed;
}

namespace {

std::string ConnectionPair(const ConnectionRow& row) {
    return EndpointText(row.local, IsIpv6(row.protocol)) + " -> " + RemoteText(row);
}

std::string ShownName(const ShownConnection& shown) { return ConnectionCells(shown)[kConnectionProcessColumn]; }

}  // namespace

std::string DisconnectQuestion(const ShownConnection& shown) {
    return "确定要断开 " + ShownName(shown) + " 的连接 " + ConnectionPair(shown.row) + " 吗？";
}

std::string DisconnectLogLine(const ShownConnection& shown, const LocalTime& time, bool disconnected) {
    std::string line = LocalTimeText(time) + "  断开连接  " + ShownName(shown) +
                       FormatText("  PID %u  ", shown.row.pid) + ConnectionPair(shown.row) + "  " +
                       (disconnected ? "已断开" : "未能断开");
    // A name is one line: a CR or LF in it would split the record.
    std::replace_if(
        line.begin(), line.end(), [](char byte) { return byte == '\r' || byte == '\n'; }, ' ');
    return line + "\r\n";
}

std::string ConnectionCountLine(const std::vector<ConnectionRow>& rows, uint32_t pid) {
    size_t count = 0;
    size_t listening = 0;
    for (const ConnectionRow& row : rows) {
        if (row.pid != pid) continue;
        ++count;
        if (IsTcp(row.protocol) && row.state == TcpState::Listen) ++listening;
    }
    return FormatText("网络连接: %u 个（监听 %u 个）", static_cast<unsigned>(count), static_cast<unsigned>(listening));
}
