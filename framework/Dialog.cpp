#include "framework/Dialog.h"

#include <vector>

#include "framework/App.h"

namespace {
// The dialog whose window the next window creation on this thread makes.
thread_local CDialog* g_dialogBeingCreated = nullptr;
thread_local HHOOK g_creationHook = nullptr;
// The dialogs whose DoModal runs on this thread, outermost first.
thread_local std::vector<CDialog*> g_modalDialogs;
// Sees the messages of every dialog box loop on the thread while the
// outermost DoModal runs.
thread_local HHOOK g_keyFilter = nullptr;

// Keeps a dialog on the modal stack while its DoModal runs.
class ModalEntry {
public:
    ModalEntry(CDialog* dialog, HOOKPROC keyFilter) {
        if (g_modalDialogs.empty())
            g_keyFilter = SetWindowsHookExW(WH_MSGFILTER, keyFilter, nullptr, GetCurrentThreadId());
        g_modalDialogs.push_back(dialog);
    }
    ~ModalEntry() {
        g_modalDialogs.pop_back();
        if (g_modalDialogs.empty() && g_keyFilter) {
            UnhookWindowsHookEx(g_keyFilter);
            g_keyFilter = nullptr;
        }
    }
    ModalEntry(const ModalEntry&) = delete;
    ModalEntry& operator=(const ModalEntry&) = delete;
};

void EndCreation() {
    if (g_creationHook) UnhookWindowsHookEx(g_creationHook);
    g_creationHook = nullptr;
    g_dialogBeingCreated = nullptr;
}
}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.GetSafeHwnd()) control.SubclassDlgItem(id, pDX->m_dialog);
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND box = pDX->m_dialog.GetDlgItem(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(SendMessageW(box, BM_GETCHECK, 0, 0));
    } else {
        SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_dialog.GetDlgItemText(id);
    } else {
        pDX->m_dialog.SetDlgItemText(id, value);
    }
}

bool IsDialogWindowBeingCreated(HWND window) {
    // Input-method windows (class style CS_IME) can be made on the thread
    // along with its first top-level window; only the dialog's own window,
    // of the dialog class, is bound.
    const ULONG_PTR style = GetClassLongPtrW(window, GCL_STYLE);
    const ATOM atom = static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM));
    return (style & CS_IME) == 0 && atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(WC_DIALOG));
}

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_dialogBeingCreated && IsDialogWindowBeingCreated(reinterpret_cast<HWND>(wParam))) {
        CDialog* dialog = g_dialogBeingCreated;
        const HHOOK hook = g_creationHook;
        EndCreation();
        dialog->SubclassWindow(reinterpret_cast<HWND>(wParam));
        return CallNextHookEx(hook, code, wParam, lParam);
    }
    return CallNextHookEx(g_creationHook, code, wParam, lParam);
}

bool CDialog::BeginCreation() {
    g_dialogBeingCreated = this;
    g_creationHook = SetWindowsHookExW(WH_CBT, &CDialog::CreationHook, nullptr, GetCurrentThreadId());
    return g_creationHook != nullptr;
}

LRESULT CALLBACK CDialog::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)) {
        for (CDialog* dialog : g_modalDialogs) {
            const HWND window = dialog->m_hWnd;
            const bool inDialog = window && (message->hwnd == window || IsChild(window, message->hwnd));
            // A disabled dialog has a box or another dialog over it: its keys wait.
            if (inDialog && ::IsWindowEnabled(window) && dialog->OnDialogKey(*message)) return TRUE;
        }
    }
    return CallNextHookEx(g_keyFilter, code, wParam, lParam);
}

CDialog* CDialog::InnermostModal() { return g_modalDialogs.empty() ? nullptr : g_modalDialogs.back(); }

INT_PTR CDialog::DoModal() {
    // Without a parent the innermost running dialog owns this one, so it is
    // modal to it; with none running, the application's main window does.
    HWND owner = m_hParent;
    if (!owner) {
        CDialog* innermost = InnermostModal();
        CWnd* mainWindow = AfxGetMainWnd();
        if (innermost && innermost->m_hWnd) {
            owner = innermost->m_hWnd;
        } else if (mainWindow && mainWindow != this) {
            owner = mainWindow->m_hWnd;
        }
    }
    if (!BeginCreation()) return -1;
    m_bModal = true;
    const ModalEntry entry(this, &CDialog::KeyFilter);
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), owner, &CDialog::NoDialogProc, 0);
    EndCreation();
    return result;
}

bool CDialog::Create(HWND parent) {
    if (!BeginCreation()) return false;
    m_bModal = false;
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId),
                                   parent ? parent : m_hParent, &CDialog::NoDialogProc, 0);
    EndCreation();
    return hwnd != nullptr;
}

void CDialog::EndDialog(int result) {
    if (m_bModal) {
        ::EndDialog(m_hWnd, result);
    } else {
        DestroyWindow(m_hWnd);
    }
}

bool CDialog::UpdateData(bool save) {
    CDataExchange exchange(*this, save);
    DoDataExchange(&exchange);
    return true;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

int CDialog::OnCreate(CREATESTRUCTW*) { return static_cast<int>(Default()); }

bool CDialog::OnCommand(UINT id, UINT, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT*) { return false; }

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return result;
        break;
    }
    default: break;
    }
    return Default();
}
