// Binding of dialog controls to their wrapper objects.
#include "afx/Wnd.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) { control.m_hWnd = ::GetDlgItem(pDX->m_hDlg, id); }
