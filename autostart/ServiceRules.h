// Plain rules of the services that start with the system: which ones the
// startup entries show, the code a shared host's service runs, the start
// type this program keeps while a service is disabled, and the texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "autostart/AutostartRules.h"

// The start types of the Service Control Manager.
constexpr uint32_t kServiceBootStart = 0;
constexpr uint32_t kServiceSystemStart = 1;
constexpr uint32_t kServiceAutoStart = 2;
constexpr uint32_t kServiceDemandStart = 3;
constexpr uint32_t kServiceDisabled = 4;

struct ServiceStart {
    uint32_t type = kServiceDemandStart;
    bool delayed = false;  // an automatic start after the others (Vista on)
    bool operator==(const ServiceStart& other) const { return type == other.type && delayed == other.delayed; }
};

struct ServiceRecord {
    std::wstring name;  // the service's key name
    std::wstring displayName;
    std::wstring binaryPath;  // with its arguments, as the configuration has it
    std::wstring account;     // the account it runs as
    ServiceStart start;
    bool running = false;
};

// Below HKLM: the services' keys, and where this program keeps the start of
// a service it disabled (one subkey per service, HKLM's 64-bit view on a
// 64-bit system, whichever build disables it).
extern const wchar_t* const kServicesKey;
extern const wchar_t* const kOwnDisabledServicesKey;
std::wstring ServiceParametersKey(const std::wstring& serviceName);
std::wstring SavedServiceStartKey(const std::wstring& serviceName);

// Whether the binary path starts the shared host (svchost.exe with a group,
// "-k"), whose code is the service's ServiceDll.
bool IsSharedServiceHost(const std::wstring& binaryPath);
// The command the 命令 column shows and the program is read from: the
// ServiceDll for a shared host's service that names one, else the binary path.
std::wstring ServiceCommand(const std::wstring& binaryPath, const std::wstring& serviceDll);

// Whether the startup entries show the service: one that starts
// automatically (delayed or not), or one this program disabled (its earlier
// start kept), so that it can be enabled again.
bool ListsService(const ServiceStart& start, bool startSaved);

// The values that keep a start ("Start" and "DelayedAutostart", DWORDs), and
// the start they keep: none where "Start" is missing, not a DWORD, or not a
// start a service can be given back (disabled, or unknown).
std::vector<RegistryValue> SavedStartValues(const ServiceStart& start);
std::optional<ServiceStart> SavedStartFrom(const std::vector<RegistryValue>& values);

// "自动", "自动（延迟启动）", "手动", "禁用", "引导", "系统", "未知（n）".
std::string ServiceStartText(const ServiceStart& start);

// 状态 of a service: the marks and the state as for other entries, then 运行中
// while it runs.
std::string ServiceStatusText(const EntryMarks& marks, bool running);

// "2026-12-09 12:00:00  删除服务  <name>  <display name>  <binary path>
// <start>  <account>" and CR LF: enough to create the service again. CR and
// LF inside become blanks.
std::string ServiceRemovalLogLine(const std::string& name, const std::string& displayName,
                                  const std::string& binaryPath, const std::string& startText,
                                  const std::string& account, const LocalTime& time);

std::string ServiceRemovalQuestion(const std::string& name);
