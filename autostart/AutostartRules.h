// Plain rules of the entries that start programs at logon: which program a
// command line starts, the registry views to read, the places' texts, the
// marks and the state an entry shows, the disabling marks Windows keeps
// (StartupApproved), Winlogon's defaults and the log line of a removal.
// Commands and paths are UTF-16 as the registry and the shell give them;
// texts shown to the user are code page 936.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "process/FileSignature.h"
#include "process/ProcessSystem.h"
#include "process/ProgramLocation.h"

// ---- A command line's program -----------------------------------------------

struct CommandLookups {
    // The value of an environment variable; none when it is not set.
    std::function<std::optional<std::wstring>(const std::wstring& name)> environment;
    // Where a bare name is looked for, in order (System32, the Windows folder,
    // the folders of PATH).
    std::vector<std::wstring> searchFolders;
    // Whether path names an existing file (a folder is no file).
    std::function<bool(const std::wstring& path)> isFile;
};

struct CommandProgram {
    std::wstring program;  // the program file as found, or as the command names it when not found
    bool found = false;
    // For "rundll32 x.dll,Entry": rundll32 itself (program is the library it
    // loads, which is what the entry really runs); empty otherwise.
    std::wstring host;
};

// "%NAME%" replaced by the variable's value; unknown names and a lone '%'
// stay as they are, as the system leaves them.
std::wstring ExpandEnvironmentText(const std::wstring& text, const CommandLookups& lookups);

// A variable's value as 64-bit Explorer, which starts the entries, has it.
// A 32-bit program on a 64-bit system has the x86 folders in ProgramFiles and
// CommonProgramFiles; Explorer's are in ProgramW6432 and CommonProgramW6432
// (the name's own value where those are not set).
std::optional<std::wstring> ExplorerEnvironmentValue(
    const std::wstring& name, bool runsUnderWow64,
    const std::function<std::optional<std::wstring>(const std::wstring& name)>& environment);

// The program a logon entry's command starts, the way the system finds it:
// variables expanded; a quoted program up to its closing quote (to the end
// when it has none); without quotes, a path with blanks is tried at each
// blank, shortest first, and the first existing prefix wins (at most
// kMaxUnquotedTries of them; a path with more blanks is no path); a name
// without a folder is looked for in searchFolders; ".exe" is tried where the
// name has no extension. rundll32 gives the library it loads (".dll" tried).
CommandProgram ProgramOfCommand(const std::wstring& command, const CommandLookups& lookups);
constexpr size_t kMaxUnquotedTries = 64;

// The last part of a path (after the last '\' or '/').
std::wstring FileNameOf(const std::wstring& path);

// ---- Registry values -----------------------------------------------------------

// The registry's value types the entries meet.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// The system's answers the flows tell apart.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;

struct RegistryValue {
    std::wstring name;
    uint32_t type = kRegSz;
    std::vector<uint8_t> bytes;
    bool operator==(const RegistryValue& other) const {
        return name == other.name && type == other.type && bytes == other.bytes;
    }
};

// A string value's text (up to its first NUL; an odd last byte dropped).
RegistryValue StringValue(const std::wstring& name, const std::wstring& text, uint32_t type = kRegSz);

// The value as a command, as far as it can be read: a string as it stands, a
// multi-string's strings joined by blanks, a DWORD in decimal, anything else
// its bytes in hexadecimal.
std::wstring CommandTextOf(const RegistryValue& value);
// Whether the value holds text a program can be read from.
bool IsTextValue(const RegistryValue& value);
// "REG_SZ", "REG_BINARY", ... ("REG_类型 n" for one without a name).
std::string ValueTypeName(uint32_t type);

// ---- Places ------------------------------------------------------------------

enum class RegistryRoot { CurrentUser, LocalMachine };
// Native: the key of the program's own kind; Key64 and Key32 the 64-bit key
// and WOW6432Node of a 64-bit system.
enum class RegistryView { Native, Key64, Key32 };

// The views of HKLM\Software to read: both where the system is 64-bit (a
// 32-bit program must ask for the 64-bit key, a 64-bit one for WOW6432Node),
// else the one there is.
std::vector<RegistryView> MachineViews(bool systemIs64Bit);

enum class PlaceKind { Run, RunOnce, StartupFolder, Winlogon, ImageOptions, Service, Task };

struct StartupPlace {
    PlaceKind kind = PlaceKind::Run;
    RegistryRoot root = RegistryRoot::CurrentUser;  // for the startup folders: whose
    RegistryView view = RegistryView::Native;
    bool operator==(const StartupPlace& other) const {
        return kind == other.kind && root == other.root && view == other.view;
    }
};

// Key paths below the root.
extern const wchar_t* const kRunKey;
extern const wchar_t* const kRunOnceKey;
extern const wchar_t* const kWinlogonKey;
extern const wchar_t* const kImageOptionsKey;
extern const wchar_t* const kOwnDisabledKey;  // below the place's root: entries this program moved aside
std::wstring RegistryKeyOf(const StartupPlace& place);

// A key in a root and view: where a registry entry's value lies.
struct ValueLocation {
    RegistryRoot root = RegistryRoot::CurrentUser;
    RegistryView view = RegistryView::Native;
    std::wstring key;
    bool operator==(const ValueLocation& other) const {
        return root == other.root && view == other.view && key == other.key;
    }
};

// The column 位置: "HKCU\...\Run", "HKLM\...\WOW6432Node\...\Run",
// "启动文件夹（当前用户）", "服务", "计划任务", ...
std::string PlaceText(const StartupPlace& place);
// The place in full for the log: the whole key path with its root, or the
// startup folder's path.
std::wstring PlaceInFull(const StartupPlace& place, const std::wstring& startupFolder);

// Where a disabled entry of the place goes on systems without StartupApproved
// (and RunOnce's on all): the subkey of kOwnDisabledKey, one per place, in
// the place's own hive, so that an administrator's copy leaves a machine
// entry where every administrator sees it (HKLM in its 64-bit view on a
// 64-bit system, whichever build moves it).
std::wstring OwnDisabledSubkey(const StartupPlace& place);
ValueLocation OwnDisabledLocation(const StartupPlace& place, bool systemIs64Bit);
// Where earlier versions put every disabled value: HKCU, whatever the place.
ValueLocation EarlierDisabledLocation(const StartupPlace& place);
// A disabled startup item's folder below a data folder (the user's local
// application data, or the all-users' one): outside the Start menu, where
// the item would still show.
std::wstring OwnDisabledFolder(const std::wstring& dataFolder);
// Where earlier versions put them: beside the startup folder.
std::wstring EarlierDisabledFolder(const std::wstring& startupFolder);

// ---- Disabling -----------------------------------------------------------------

struct WindowsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

enum class DisableWay {
    None,             // Winlogon and IFEO entries can only be removed
    StartupApproved,  // the marks Windows' own startup tab reads (Windows 8 on)
    OwnPlace,         // moved to a place of this program's own, and back
};

// StartupApproved covers Run (and Run32) and the startup folders from
// Windows 8 on; RunOnce has no mark there, so it moves aside on every system.
DisableWay DisableWayFor(PlaceKind kind, WindowsVersion version);

// The StartupApproved subkey ("Run", "Run32", "StartupFolder") with its root
// and view; none for places it does not cover.
struct ApprovalKey {
    RegistryRoot root;
    RegistryView view;
    std::wstring key;
};
std::optional<ApprovalKey> ApprovalKeyFor(const StartupPlace& place, bool systemIs64Bit);

// A StartupApproved value marks its entry disabled when the lowest bit of its
// first byte is set (03, 07); 02 and 06 are enabled, and so is an entry
// without a value or with an empty one.
bool IsDisabledByApproval(const std::vector<uint8_t>& approval);
// The 12 bytes that disable: the first byte with its lowest bit set (03 when
// there was none), three zero bytes, then the moment (FILETIME) it was
// disabled.
std::vector<uint8_t> DisablingApproval(const std::vector<uint8_t>& before, uint64_t now);
// The 12 bytes that enable: the first byte without its lowest bit (02 when
// there was none), then zeros.
std::vector<uint8_t> EnablingApproval(const std::vector<uint8_t>& before);

// ---- Winlogon ------------------------------------------------------------------

// Whether Winlogon's Shell ("explorer.exe") or Userinit
// ("C:\Windows\system32\userinit.exe,") is what Windows sets: blanks, case,
// the Windows folder's path and empty list items do not count.
bool IsDefaultWinlogonShell(const std::wstring& value, const std::wstring& windowsFolder);
bool IsDefaultWinlogonUserinit(const std::wstring& value, const std::wstring& windowsFolder);

// ---- Marks and state -------------------------------------------------------------

struct EntryMarks {
    bool dangerous = false;   // the block list names the program file
    bool missing = false;     // no program file can be found
    bool suspicious = false;  // see IsSuspiciousProgramFile
    bool disabled = false;
};

// 状态: the marks that apply, first, then 已启用 or 已禁用; "、" between them.
std::string StatusText(const EntryMarks& marks);

// A file in one of the temporary folders or in the recycle bin, or a core
// Windows name whose file lies outside the Windows folder (the main list's
// rule).
bool IsSuspiciousProgramFile(const std::wstring& path, const std::wstring& windowsFolder,
                             const std::vector<std::wstring>& temporaryFolders);

// Whether "隐藏 Windows 自带项" hides an entry: its program file lies right in
// one of Windows' homes (PlaceOf: the Windows folder, System32, SysWOW64) and
// its signature is verified as Microsoft's. An entry with a mark (危险, 可疑,
// 文件不存在) always shows.
bool IsSignedByMicrosoft(const FileSignature& signature);
// Whether the entry's signature is worth checking for that.
bool MayBeWindowsOwn(const EntryMarks& marks, ProgramPlace place);
bool HidesAsWindowsOwn(const EntryMarks& marks, ProgramPlace place, const FileSignature& signature);
// "共 <shown> 项（已隐藏 <hidden> 项 Windows 自带项）".
std::string EntryCountText(size_t shown, size_t hidden);

// The column 说明: the description and the company, as far as they are known.
std::string DescriptionText(const ProgramVersion& version);

// The details box of an entry's file: the program file (with 文件不存在
// where it is not found), its description and company, "无法读取" for each
// that cannot be read, then the signature's text (SignatureText).
std::string StartupDetailsText(const std::string& programPath, bool found, const ProgramVersion& version,
                               const std::string& signatureText);

// ---- The log ---------------------------------------------------------------------

// "2026-12-09 12:00:00  删除启动项  <place in full>  <name>  <type>  <value>"
// and CR LF; CR and LF inside become blanks, so the record stays one line.
std::string StartupRemovalLogLine(const std::string& placeInFull, const std::string& name, const std::string& typeName,
                                  const std::string& value, const LocalTime& time);

// The text as the log keeps it: each character the log's code page lacks
// (inCodePage false; a lone surrogate included) as \u{hex} of its code
// point, and a backslash that "u{" follows as \u{5C}, so that the original
// can always be read back.
std::wstring EscapeForLog(const std::wstring& text, const std::function<bool(char32_t)>& inCodePage);

// Whether a startup folder's file is a shortcut, which 删除 removes; any
// other file is a program itself, which goes to the recycle bin.
bool IsShortcutFile(const std::wstring& name);

// The question before a removal; a program file says where it goes.
std::string RemovalQuestion(const std::string& name, bool toRecycleBin = false);

// The dialog's caption: where a copy runs as another account than the
// desktop's (an administrator's password given at the restart), it says
// whose the "当前用户" entries are. Unknown accounts say nothing.
std::string StartupDialogCaption(const std::string& programAccount, const std::string& desktopAccount);

// ---- Rights --------------------------------------------------------------------

// A change refused for want of rights, by a copy without administrator
// rights, is worth the offer to start again as administrator; any other
// failure is only said.
bool OffersAdministratorRestart(long status, bool runsAsAdministrator);
