// The system's TCP and UDP tables through iphlpapi.dll, loaded from System32
// when first needed (the program does not import it).
#pragma once

#include "framework/SystemFunction.h"
#include "network/ConnectionSystem.h"

class Win32ConnectionSystem : public ConnectionSystem {
public:
    Win32ConnectionSystem();
    bool ReadConnections(std::vector<ConnectionRow>& rows) override;
    DisconnectOutcome Disconnect(const ConnectionRow& row) override;

private:
    SystemLibrary m_library;
};
