// Resource identifiers of _velsetup: the status window's dialog and its two
// controls.
#ifndef VELSETUP_RESOURCE_H
#define VELSETUP_RESOURCE_H

#define IDD_STATUS_DIALOG 1000
#define IDC_STATUS_PROGRESS 1000
#define IDC_STATUS_TEXT 1001

#endif
