// Speed of the startup entries dialog over the real platform with 150
// services and 150 scheduled tasks of its own (each naming another program
// file of the system folder): from its creation to the filled list, and to
// the last hide check taken in. Prints one line per figure, "name value
// unit", each the median of several runs; the services and tasks are removed
// at the end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "autostart/StartupDlg.h"
#include "framework/SystemFunction.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

constexpr int kRuns = 5;
constexpr int kServices = 150;
constexpr int kTasks = 150;

std::vector<double> Times(int runs, const std::function<double()>& run) {
    std::vector<double> times;
    for (int index = 0; index < runs; ++index) times.push_back(run());
    std::sort(times.begin(), times.end());
    return times;
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Program files of the system folder, each named once.
std::vector<std::wstring> SystemPrograms(const std::wstring& system, size_t count) {
    std::vector<std::wstring> files;
    for (const wchar_t* pattern : {L"\\*.exe", L"\\*.dll"}) {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((system + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                files.push_back(system + L"\\" + found.cFileName);
        } while (files.size() < count && FindNextFileW(search, &found));
        FindClose(search);
    }
    files.resize(std::min(files.size(), count));
    return files;
}

// The bench's services and task files, removed with the object.
class PlantedEntries {
public:
    PlantedEntries() : m_manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        const std::wstring system = SystemFolderPath(GetSystemDirectoryW);
        const std::vector<std::wstring> programs = SystemPrograms(system, kServices + kTasks);
        m_tasks = system + L"\\Tasks";
        for (size_t index = 0; index < programs.size(); ++index) {
            const std::wstring number = std::to_wstring(index);
            if (index < kServices) {
                const std::wstring name = L"tvxbench-svc-" + number;
                m_services.push_back(name);
                const SC_HANDLE made = CreateServiceW(
                    m_manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                    SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, (L"\"" + programs[index] + L"\" -s").c_str(), nullptr,
                    nullptr, nullptr, nullptr, nullptr);
                if (made) CloseServiceHandle(made);
                continue;
            }
            const std::wstring file = m_tasks + L"\\tvxbench-task-" + number;
            m_files.push_back(file);
            const std::wstring xml =
                L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
                L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n  <RegistrationInfo>"
                L"<Description>Bench task " +
                number +
                L"</Description></RegistrationInfo>\r\n  <Triggers>"
                L"<LogonTrigger/><CalendarTrigger><Repetition><Interval>PT15M</Interval></Repetition>"
                L"<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger></Triggers>\r\n"
                L"  <Settings><Enabled>true</Enabled></Settings>\r\n  <Actions><Exec><Command>" +
                programs[index] + L"</Command><Arguments>/bench</Arguments></Exec></Actions>\r\n</Task>\r\n";
            std::string bytes = "\xFF\xFE";
            for (const wchar_t c : xml) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
            WriteFileBytes(file, bytes);
        }
    }
    ~PlantedEntries() {
        for (const std::wstring& name : m_services) {
            if (const SC_HANDLE service = OpenServiceW(m_manager, name.c_str(), DELETE)) {
                DeleteService(service);
                CloseServiceHandle(service);
            }
        }
        for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
        CloseServiceHandle(m_manager);
    }
    PlantedEntries(const PlantedEntries&) = delete;
    PlantedEntries& operator=(const PlantedEntries&) = delete;
    size_t count() const { return m_services.size() + m_files.size(); }

private:
    SC_HANDLE m_manager;
    std::wstring m_tasks;
    std::vector<std::wstring> m_services;
    std::vector<std::wstring> m_files;
};

}  // namespace

int main() {
    const PlantedEntries planted;
    ScratchDirectory scratch;
    ScriptedPrompt prompt;
    size_t rows = 0;
    double checksDone = 0;
    std::vector<double> checks;
    const std::vector<double> shown = Times(kRuns, [&] {
        CStartupDlg dialog(scratch.path());
        dialog.SetMessagePrompt(&prompt);
        const double start = NowMs();
        if (!dialog.Create()) return 0.0;
        const double listed = NowMs() - start;
        rows = static_cast<size_t>(dialog.m_list.GetItemCount());
        // The hide checks answer on their own thread; the window takes them in.
        while (!dialog.SignatureChecksDone() && NowMs() - start < 120000) PumpMessages(5);
        checks.push_back(NowMs() - start);
        DestroyWindow(dialog.m_hWnd);
        return listed;
    });
    std::sort(checks.begin(), checks.end());
    checksDone = checks[checks.size() / 2];
    std::printf("startup_entries_planted %zu entries, %zu rows shown\n", planted.count(), rows);
    Print("startup_list_shown_150_services_150_tasks", shown[shown.size() / 2], "ms");
    Print("startup_hide_checks_done_150_services_150_tasks", checksDone, "ms");
    return 0;
}
