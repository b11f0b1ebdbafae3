#include "app/ProcessListDlg.h"

void CProcessListDlg::OnExport() {}
