// CStatusDialog: the status window of service control, a small popup in the
// centre of the screen with one line of text (dialog 1000). The window is
// created on the first ShowStatusWindow, so a quiet operation, which never
// calls it, never has one; the object belongs to one operation, which
// destroys the window when it ends.
//
// Nothing pumps messages for the window: the label changes when its text is
// set, which is the only time it needs drawing.
// Thread-safety: one thread.
#ifndef VELSETUP_STATUS_DIALOG_H
#define VELSETUP_STATUS_DIALOG_H

#include "setup/dialog.h"

#include <string>

namespace velsetup {

class CStatusDialog : public CDialog {
 public:
  CStatusDialog();
  ~CStatusDialog() override;

  // Creates the window when there is none yet, then shows it.
  void ShowStatusWindow(HWND parent);
  // Shows `text` in the label at once.
  void SetStatusText(const std::string& text);

  HWND m_progress = nullptr;     // control 1000, hidden, never advanced
  HWND m_statusLabel = nullptr;  // control 1001
  std::string m_statusText;

 protected:
  // Binds the controls and transfers the text to the label.
  void DoDataExchange() override;
};

}  // namespace velsetup

#endif
