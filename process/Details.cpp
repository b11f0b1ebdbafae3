#include "app/ProcessListDlg.h"

void CProcessListDlg::LoadReferenceInfo() { m_referenceInfo.clear(); }

void CProcessListDlg::OnDetails() { OnRefresh(); }
