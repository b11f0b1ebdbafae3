// The search's system calls: the Restart Manager of rstrtmgr.dll and the
// module lists of the processes, each looked up in the system's own libraries
// when first needed (the program imports neither).
#pragma once

#include "finder/FileUsers.h"
#include "framework/SystemFunction.h"

class Win32FileUsersSystem : public FileUsersSystem {
public:
    Win32FileUsersSystem();
    std::wstring FullLongPath(const std::wstring& path) override;
    bool IsFolder(const std::wstring& path) override;
    std::vector<FileHolder> ProcessesUsingFile(const std::wstring& path) override;
    ProcessFiles ReadProcessFiles(const ProcessInstance& process) override;

private:
    // The drives' device names, read at the first need.
    const std::vector<DriveDevice>& Drives();

    SystemLibrary m_restartManager;
    SystemLibrary m_processStatus;  // psapi.dll, for systems whose kernel32 lacks the module calls
    std::vector<DriveDevice> m_drives;
    bool m_drivesRead = false;
};
