// The services part of Win32AutostartSystem: the Service Control Manager.
#include <windows.h>

#include <vector>

#include "autostart/Win32AutostartSystem.h"

namespace {

// A handle of the Service Control Manager or of a service, closed with the object.
class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : m_handle(handle), m_status(handle ? ERROR_SUCCESS : GetLastError()) {}
    ~ServiceHandle() {
        if (m_handle) CloseServiceHandle(m_handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return m_handle; }
    // The system's answer to the opening; ERROR_SUCCESS when it is open.
    long status() const { return static_cast<long>(m_status); }

private:
    SC_HANDLE m_handle;
    DWORD m_status;
};

// SERVICE_DELAYED_AUTO_START_INFO, which the headers give only to Vista-on
// builds; this program also runs on earlier systems, where the query fails.
struct DelayedStartInfo {
    BOOL fDelayedAutostart;
};

ServiceHandle OpenManager(DWORD access) { return ServiceHandle(OpenSCManagerW(nullptr, nullptr, access)); }

std::wstring TextOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// The configuration of an opened service (SERVICE_QUERY_CONFIG); its name and
// state are the caller's.
long ReadConfiguration(SC_HANDLE service, ServiceRecord& record) {
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return static_cast<long>(GetLastError());
    // Elements of the structure itself, so that its pointers are aligned.
    std::vector<QUERY_SERVICE_CONFIGW> buffer(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(QUERY_SERVICE_CONFIGW));
    if (!QueryServiceConfigW(service, buffer.data(), size, &needed)) return static_cast<long>(GetLastError());
    const QUERY_SERVICE_CONFIGW& config = buffer.front();
    record.displayName = TextOrEmpty(config.lpDisplayName);
    record.binaryPath = TextOrEmpty(config.lpBinaryPathName);
    record.account = TextOrEmpty(config.lpServiceStartName);
    record.start.type = config.dwStartType;
    // Systems before Vista know no delayed start: the query fails there.
    DelayedStartInfo delayed{};
    record.start.delayed = config.dwStartType == SERVICE_AUTO_START &&
                           QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                                reinterpret_cast<BYTE*>(&delayed), sizeof(delayed), &needed) &&
                           delayed.fDelayedAutostart;
    return ERROR_SUCCESS;
}

bool Runs(DWORD state) { return state != SERVICE_STOPPED; }

}  // namespace

long Win32AutostartSystem::ListServices(std::vector<ServiceRecord>& services) {
    const ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager.get()) return manager.status();
    services.clear();
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        // Succeeds only where no service is left to list.
        if (EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                                  &needed, &returned, &resume, nullptr)) {
            return ERROR_SUCCESS;
        }
        const DWORD sizing = GetLastError();
        if (sizing != ERROR_MORE_DATA) return static_cast<long>(sizing);
        std::vector<ENUM_SERVICE_STATUS_PROCESSW> buffer(needed / sizeof(ENUM_SERVICE_STATUS_PROCESSW) + 1);
        const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ENUM_SERVICE_STATUS_PROCESSW));
        const BOOL done =
            EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                  reinterpret_cast<BYTE*>(buffer.data()), size, &needed, &returned, &resume, nullptr);
        const DWORD status = done ? ERROR_SUCCESS : GetLastError();
        if (!done && status != ERROR_MORE_DATA) return static_cast<long>(status);
        for (DWORD index = 0; index < returned; ++index) {
            const ENUM_SERVICE_STATUS_PROCESSW& found = buffer[index];
            const ServiceHandle service(OpenServiceW(manager.get(), found.lpServiceName, SERVICE_QUERY_CONFIG));
            ServiceRecord record;
            // A service whose configuration this user may not read is passed over.
            if (!service.get() || ReadConfiguration(service.get(), record) != ERROR_SUCCESS) continue;
            record.name = TextOrEmpty(found.lpServiceName);
            record.running = Runs(found.ServiceStatusProcess.dwCurrentState);
            services.push_back(std::move(record));
        }
        if (done) return ERROR_SUCCESS;
    }
}

long Win32AutostartSystem::ReadService(const std::wstring& name, ServiceRecord& record) {
    const ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager.get()) return manager.status();
    const ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!service.get()) return service.status();
    record = ServiceRecord();
    record.name = name;
    const long read = ReadConfiguration(service.get(), record);
    if (read != ERROR_SUCCESS) return read;
    SERVICE_STATUS status{};
    record.running = QueryServiceStatus(service.get(), &status) && Runs(status.dwCurrentState);
    return ERROR_SUCCESS;
}

long Win32AutostartSystem::ChangeServiceStart(const std::wstring& name, const ServiceStart& start) {
    const ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager.get()) return manager.status();
    const ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_CHANGE_CONFIG));
    if (!service.get()) return service.status();
    if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, start.type, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr)) {
        return static_cast<long>(GetLastError());
    }
    if (start.type != SERVICE_AUTO_START) return ERROR_SUCCESS;
    DelayedStartInfo delayed{};
    delayed.fDelayedAutostart = start.delayed ? TRUE : FALSE;
    // Before Vista there is no flag to clear; a delayed start cannot be given there.
    if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed) && start.delayed) {
        return static_cast<long>(GetLastError());
    }
    return ERROR_SUCCESS;
}

long Win32AutostartSystem::OpenServiceForDelete(const std::wstring& name) {
    const ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager.get()) return manager.status();
    const ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | DELETE));
    return service.status();
}

long Win32AutostartSystem::StopAndDeleteService(const std::wstring& name) {
    const ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager.get()) return manager.status();
    const ServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service.get()) return service.status();
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        for (int wait = 0; wait < 50 && Runs(status.dwCurrentState); ++wait) {
            Sleep(100);
            if (!QueryServiceStatus(service.get(), &status)) break;
        }
    }
    return DeleteService(service.get()) ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}
