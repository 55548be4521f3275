// CDialog: the small part of the framework's dialog class that the status
// window needs: a modeless dialog created from one of the library's dialog
// resources, shown, filled from member data and destroyed.
//
// The window handle is cleared when the window is destroyed, by this object
// or along with its owner; the destructor destroys a window still there.
// Thread-safety: one thread, the one that created the window.
#ifndef VELSETUP_DIALOG_H
#define VELSETUP_DIALOG_H

#include <windows.h>

namespace velsetup {

class CDialog {
 public:
  explicit CDialog(UINT templateId) : m_templateId(templateId) {}
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the window, modeless; false when it could not be created.
  bool Create(HWND parent);
  void ShowWindow(int command);
  void DestroyWindow();
  // Transfers the member data to the controls (DoDataExchange).
  void UpdateData();

  HWND m_hWnd = nullptr;

 protected:
  virtual void DoDataExchange() {}

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM, LPARAM param);

  UINT m_templateId;
};

}  // namespace velsetup

#endif
