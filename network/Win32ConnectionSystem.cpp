#include "network/Win32ConnectionSystem.h"

#include <iphlpapi.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace {

using GetExtendedTcpTableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);
using GetExtendedUdpTableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, UDP_TABLE_CLASS, ULONG);
using SetTcpEntryFunction = DWORD(WINAPI*)(PMIB_TCPROW);

constexpr ULONG kIpv4 = 2;   // AF_INET
constexpr ULONG kIpv6 = 23;  // AF_INET6
constexpr DWORD kDeleteTcb = 12;

// One table, read into memory aligned for its rows; the table may grow
// between asking its size and reading it, so a few tries.
template <typename Read>
bool ReadTable(Read read, std::vector<uint64_t>& buffer) {
    DWORD size = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.assign(size / sizeof(uint64_t) + 1, 0);
        size = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
        const DWORD status = read(buffer.data(), &size);
        if (status == NO_ERROR) return true;
        if (status != ERROR_INSUFFICIENT_BUFFER) return false;
    }
    return false;
}

template <typename Table, typename Row>
void AddRows(const std::vector<uint64_t>& buffer, std::vector<ConnectionRow>& rows, Row convert) {
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    for (DWORD index = 0; index < table->dwNumEntries; ++index) rows.push_back(convert(table->table[index]));
}

ConnectionEndpoint Ipv4Endpoint(DWORD address, DWORD port) {
    ConnectionEndpoint endpoint;
    endpoint.address = Ipv4FromTableValue(address);
    endpoint.port = PortFromTableValue(port);
    return endpoint;
}

ConnectionEndpoint Ipv6Endpoint(const UCHAR (&address)[16], DWORD scope, DWORD port) {
    ConnectionEndpoint endpoint;
    std::memcpy(endpoint.address.data(), address, sizeof(address));
    endpoint.scopeId = scope;
    endpoint.port = PortFromTableValue(port);
    return endpoint;
}

}  // namespace

Win32ConnectionSystem::Win32ConnectionSystem() : m_library(L"iphlpapi.dll") {}

bool Win32ConnectionSystem::ReadConnections(std::vector<ConnectionRow>& rows) {
    rows.clear();
    const auto tcp = m_library.Find<GetExtendedTcpTableFunction>("GetExtendedTcpTable");
    const auto udp = m_library.Find<GetExtendedUdpTableFunction>("GetExtendedUdpTable");
    if (!tcp || !udp) return false;
    bool complete = true;
    std::vector<uint64_t> buffer;
    if (ReadTable([&](void* table, DWORD* size) { return tcp(table, size, FALSE, kIpv4, TCP_TABLE_OWNER_PID_ALL, 0); },
                  buffer)) {
        AddRows<MIB_TCPTABLE_OWNER_PID>(buffer, rows, [](const MIB_TCPROW_OWNER_PID& row) {
            return ConnectionRow{ConnectionProtocol::Tcp, Ipv4Endpoint(row.dwLocalAddr, row.dwLocalPort),
                                 Ipv4Endpoint(row.dwRemoteAddr, row.dwRemotePort), static_cast<TcpState>(row.dwState),
                                 row.dwOwningPid};
        });
    } else {
        complete = false;
    }
    if (ReadTable([&](void* table, DWORD* size) { return tcp(table, size, FALSE, kIpv6, TCP_TABLE_OWNER_PID_ALL, 0); },
                  buffer)) {
        AddRows<MIB_TCP6TABLE_OWNER_PID>(buffer, rows, [](const MIB_TCP6ROW_OWNER_PID& row) {
            return ConnectionRow{ConnectionProtocol::Tcp6,
                                 Ipv6Endpoint(row.ucLocalAddr, row.dwLocalScopeId, row.dwLocalPort),
                                 Ipv6Endpoint(row.ucRemoteAddr, row.dwRemoteScopeId, row.dwRemotePort),
                                 static_cast<TcpState>(row.dwState), row.dwOwningPid};
        });
    } else {
        complete = false;
    }
    if (ReadTable([&](void* table, DWORD* size) { return udp(table, size, FALSE, kIpv4, UDP_TABLE_OWNER_PID, 0); },
                  buffer)) {
        AddRows<MIB_UDPTABLE_OWNER_PID>(buffer, rows, [](const MIB_UDPROW_OWNER_PID& row) {
            return ConnectionRow{ConnectionProtocol::Udp,
                                 Ipv4Endpoint(row.dwLocalAddr, row.dwLocalPort),
                                 {},
                                 TcpState::None,
                                 row.dwOwningPid};
        });
    } else {
        complete = false;
    }
    if (ReadTable([&](void* table, DWORD* size) { return udp(table, size, FALSE, kIpv6, UDP_TABLE_OWNER_PID, 0); },
                  buffer)) {
        AddRows<MIB_UDP6TABLE_OWNER_PID>(buffer, rows, [](const MIB_UDP6ROW_OWNER_PID& row) {
            return ConnectionRow{ConnectionProtocol::Udp6,
                                 Ipv6Endpoint(row.ucLocalAddr, row.dwLocalScopeId, row.dwLocalPort),
                                 {},
                                 TcpState::None,
                                 row.dwOwningPid};
        });
    } else {
        complete = false;
    }
    return complete;
}

DisconnectOutcome Win32ConnectionSystem::Disconnect(const ConnectionRow& row) {
    const auto setEntry = m_library.Find<SetTcpEntryFunction>("SetTcpEntry");
    if (!setEntry || !CanDisconnect(row)) return DisconnectOutcome::Failed;
    MIB_TCPROW entry{};
    entry.dwState = kDeleteTcb;
    entry.dwLocalAddr = Ipv4TableValue(row.local.address);
    entry.dwLocalPort = PortTableValue(row.local.port);
    entry.dwRemoteAddr = Ipv4TableValue(row.remote.address);
    entry.dwRemotePort = PortTableValue(row.remote.port);
    return DisconnectOutcomeOf(setEntry(&entry));
}
