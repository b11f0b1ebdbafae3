// Seam over the system's connection tables, so that the connections dialog
// can be driven with rows of a test's own.
#pragma once

#include <vector>

#include "network/Connections.h"

class ConnectionSystem {
public:
    virtual ~ConnectionSystem() = default;
    // Every TCP and UDP row of both families with its owner; false when a
    // table could not be read (rows then holds what was read).
    virtual bool ReadConnections(std::vector<ConnectionRow>& rows) = 0;
    // Ends an IPv4 TCP connection.
    virtual DisconnectOutcome Disconnect(const ConnectionRow& row) = 0;
};
