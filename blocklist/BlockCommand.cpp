// The main window's side of the block list: loading the table and the block
// command of button 1019.
#include "app/ProcessListDlg.h"
#include "blocklist/BlockListCommands.h"
#include "blocklist/Win32FileStore.h"

void CProcessListDlg::LoadBlockList() {
    Win32FileStore store;
    LoadBlockListInto(m_blockList, store);
}

void CProcessListDlg::OnBlockProcess() {
    // With no row selected the name is empty: nothing is asked or written,
    // but the table is reloaded and the list refreshed all the same.
    Win32FileStore store;
    if (OfferBlockName(SelectedName(), *m_prompt, store) == OfferOutcome::Failed) {
        // The notice has told the user; the file, the table and the list stay as they were.
        return;
    }
    LoadBlockList();
    OnRefresh();
}
