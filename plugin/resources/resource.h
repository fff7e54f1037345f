// Resource identifiers of Pikuno.dll, shared by the resource scripts and the code.
// Each later dialog, icon or string block takes its own range:
//   100-199 about dialog, 200-299 message selection dialog, 1000- controls.
#pragma once

// Message selection dialog: its template, the list's two state pictures and the list.
#define IDD_SELECTION 101
#define IDI_UNTICKED 132
#define IDI_TICKED 133
#define IDC_MESSAGE_LIST 1001
