/* Win32 user interface subset, with the SDK's names and values: message
 * boxes, and modeless dialogs created from a dialog resource with their child
 * controls' texts, visibility, enabling and destruction.
 *
 * Nobody sits in front of the simulated desktop: MessageBoxA does not block
 * and answers with the box's default button (MB_DEFBUTTONn of its button
 * set). Every box and every change to a window is recorded in order on the
 * local machine's desktop, where velplat/ui.h reads them back and where
 * dialog resources are registered (a module's resource handle comes from that
 * registration). Windows have no message loop: a dialog procedure receives
 * WM_INITDIALOG when the dialog is created and WM_DESTROY when it is
 * destroyed, nothing else. Failures return 0/FALSE/NULL and set the last
 * error: ERROR_INVALID_WINDOW_HANDLE for a handle that names no live window,
 * ERROR_CONTROL_ID_NOT_FOUND for a missing child,
 * ERROR_RESOURCE_NAME_NOT_FOUND for a dialog resource the module lacks,
 * ERROR_RESOURCE_DATA_NOT_FOUND for a module handle never registered.
 *
 * Thread-safety: any thread; the dialog procedure runs on the calling thread
 * and may call these functions again. */
#ifndef VELPLAT_WINAPI_USER_H
#define VELPLAT_WINAPI_USER_H

#include "types.h"

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#endif
#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif
#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#endif
#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

/* Message box buttons, icons, default button and modality. */
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0L
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L

/* Message box answers. */
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

/* Window styles. */
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_BORDER 0x00800000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L

/* Dialog styles. */
#define DS_SYSMODAL 0x0002L
#define DS_3DLOOK 0x0004L
#define DS_SETFONT 0x0040L
#define DS_MODALFRAME 0x0080L
#define DS_SETFOREGROUND 0x0200L
#define DS_CENTER 0x0800L

/* Static control styles. */
#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_CENTERIMAGE 0x00000200L

/* ShowWindow commands. */
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

/* The two messages a dialog procedure receives here. */
#define WM_DESTROY 0x0002
#define WM_INITDIALOG 0x0110

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCE MAKEINTRESOURCEA

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

/* Records the box and returns the default button's answer; 0 with
 * ERROR_INVALID_PARAMETER for an unknown button set. A null caption reads
 * "Error", as on Windows. */
VELPLAT_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

/* Creates the dialog lpTemplateName (MAKEINTRESOURCEA(id) or a name) of the
 * module hInstance with all its controls; hInstance is the handle that
 * registering the module's resources returned (velplat/ui.h). The dialog
 * procedure (may be null) then receives WM_INITDIALOG with dwInitParam; a
 * dialog whose style holds WS_VISIBLE is shown after that. A parent that is
 * not a live window: ERROR_INVALID_WINDOW_HANDLE. */
VELPLAT_API HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                           DLGPROC lpDialogFunc, LPARAM dwInitParam);
#define CreateDialogA(hInstance, lpName, hWndParent, lpDialogFunc) \
  CreateDialogParamA(hInstance, lpName, hWndParent, lpDialogFunc, 0L)

/* The child of hDlg with control identifier nIDDlgItem. */
VELPLAT_API HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
/* Replaces the child's text. */
VELPLAT_API BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
/* Nonzero when the window was visible before the call, 0 when it was hidden
 * (or the handle is invalid: then with ERROR_INVALID_WINDOW_HANDLE). SW_HIDE
 * hides, every other command shows. */
VELPLAT_API BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
/* Nonzero when the window was disabled before the call. */
VELPLAT_API BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
/* Destroys the window, its children and the windows it owns. */
VELPLAT_API BOOL WINAPI DestroyWindow(HWND hWnd);

#define MessageBox MessageBoxA
#define CreateDialogParam CreateDialogParamA
#define CreateDialog CreateDialogA
#define SetDlgItemText SetDlgItemTextA

#endif
