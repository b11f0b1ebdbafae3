// The main window's growth and what it remembers between starts: the layout
// of its controls for its size, its smallest size, and the settings it reads
// at its start and writes when it closes.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/WindowLayout.h"
#include "app/WindowSettings.h"

class CSortableListCtrl;

// The settings under HKCU\Software\tarvemonix; the key is only made by the
// first write.
class RegistrySettingsStore : public SettingsStore {
public:
    std::optional<StoredValue> Read(const std::string& name) const override;
    bool Write(const std::string& name, const StoredValue& value) override;
};

class WindowMemory {
public:
    // Tests and a window without a store remember nothing between windows.
    WindowMemory() : m_store(std::make_unique<MemorySettingsStore>()) {}
    void UseStore(std::unique_ptr<SettingsStore> store) { m_store = std::move(store); }

    // At the window's creation: its first size (the smallest it can have),
    // then the place it had, where that lies on a monitor of this system.
    void Restore(HWND window);
    // Once the controls and the list's columns exist: their places at the
    // first size, the columns' remembered widths and order, the sort; then
    // the layout for the window's size. True when the tree order was on.
    bool RestoreControls(HWND window, CSortableListCtrl& list);
    // Whether the window was maximised when it closed last.
    bool WasMaximized() const { return m_settings.maximized; }

    void OnSize(HWND window) const;
    void OnGetMinMaxInfo(MINMAXINFO* limits) const;
    // The place to remember is the window's while it is neither maximised nor minimised.
    void OnWindowPosChanged(HWND window);
    // Writes the place, the columns, the sort and the tree order, with the
    // system's DPI. maximizedWhenShown: a hidden window that is to be
    // maximised at its first show stays maximised for the next start.
    void Save(HWND window, const CSortableListCtrl& list, bool treeOrder, bool maximizedWhenShown = false);

    // The startup entries dialog's "隐藏 Windows 自带项", kept with the window's settings.
    bool HidesWindowsOwnEntries() const { return LoadHideWindowsOwnEntries(*m_store); }
    void RememberHidesWindowsOwnEntries(bool hide) { SaveHideWindowsOwnEntries(*m_store, hide); }

private:
    std::unique_ptr<SettingsStore> m_store;
    WindowSettings m_settings;
    LayoutSize m_firstClient;
    LayoutSize m_firstWindow;
    std::optional<LayoutRect> m_normalPlace;
    struct Control {
        HWND window;  // the frame around the buttons has no id of its own
        AnchoredControl anchored;
    };
    std::vector<Control> m_controls;  // empty until the controls exist
};
