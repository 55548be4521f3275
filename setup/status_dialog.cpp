// The status window.
#include "setup/status_dialog.h"

#include "setup/resource.h"

namespace velsetup {

CStatusDialog::CStatusDialog() : CDialog(IDD_STATUS_DIALOG) {}

CStatusDialog::~CStatusDialog() = default;

void CStatusDialog::ShowStatusWindow(HWND parent) {
  if (!m_hWnd || m_hWnd == INVALID_HANDLE_VALUE) Create(parent);
  ShowWindow(SW_SHOW);
}

void CStatusDialog::SetStatusText(const std::string& text) {
  m_statusText = text;
  UpdateData();
}

void CStatusDialog::DoDataExchange() {
  if (!m_progress) m_progress = GetDlgItem(m_hWnd, IDC_STATUS_PROGRESS);
  if (!m_statusLabel) m_statusLabel = GetDlgItem(m_hWnd, IDC_STATUS_TEXT);
  SetDlgItemTextA(m_hWnd, IDC_STATUS_TEXT, m_statusText.c_str());
}

}  // namespace velsetup
