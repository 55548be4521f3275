// The minimal modeless dialog over CreateDialogParamA.
#include "setup/dialog.h"

#include "setup/resource_module.h"

#include <map>

namespace velsetup {
namespace {

// The dialog objects of live windows, for WM_DESTROY; WM_INITDIALOG brings
// the object itself. Touched only on the thread that owns the windows.
std::map<HWND, CDialog*>& Owners() {
  static thread_local std::map<HWND, CDialog*> owners;
  return owners;
}

}  // namespace

CDialog::~CDialog() { DestroyWindow(); }

bool CDialog::Create(HWND parent) {
  HWND window = CreateDialogParamA(ResourceHandle(), MAKEINTRESOURCEA(m_templateId), parent, DialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
  return window != nullptr && window == m_hWnd;
}

void CDialog::ShowWindow(int command) {
  if (m_hWnd) ::ShowWindow(m_hWnd, command);
}

void CDialog::DestroyWindow() {
  if (m_hWnd) ::DestroyWindow(m_hWnd);  // WM_DESTROY clears m_hWnd
}

void CDialog::UpdateData() {
  if (m_hWnd) DoDataExchange();
}

INT_PTR CALLBACK CDialog::DialogProcedure(HWND window, UINT message, WPARAM, LPARAM param) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(param);
    dialog->m_hWnd = window;
    Owners()[window] = dialog;
    return TRUE;
  }
  if (message == WM_DESTROY) {
    auto it = Owners().find(window);
    if (it != Owners().end()) {
      it->second->m_hWnd = nullptr;
      Owners().erase(it);
    }
  }
  return FALSE;
}

}  // namespace velsetup
