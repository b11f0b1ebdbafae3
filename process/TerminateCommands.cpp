#include "app/ProcessListDlg.h"

void CProcessListDlg::OnTerminate() { OnRefresh(); }

void CProcessListDlg::OnSlim() { OnRefresh(); }

void CProcessListDlg::OnDeleteFile() {}
