// Ids of the driver patch's resources, shared by the .rc files and the
// code. Plain macros, because the resource compiler reads this header too.
#pragma once

// String tables, block 1: the message ids.
#define IDS_NOT_APPLICABLE 1
#define IDS_RESTART_QUESTION 2
#define IDS_UPDATE_COMPLETED 5
#define IDS_RESTART_NOW 6
#define IDS_RESTART_LATER 7
#define IDS_NO_ADMIN 9

// The restart dialog: "Restart Now" is IDOK, "Restart Later" IDCANCEL, so
// Esc and a close request count as "Restart Later".
#define IDD_RESTART 168
#define IDC_RESTART_QUESTION 1003
