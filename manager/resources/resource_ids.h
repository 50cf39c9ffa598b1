// Ids of the patch manager's resources, shared by the .rc files. Plain
// macros, because the resource compiler reads this header too.
#pragma once

// String tables: the message ids (4 is not used).
#define IDS_NOT_APPLICABLE 1
#define IDS_RESTART_QUESTION 2
#define IDS_UPDATE_FAILED 3
#define IDS_UPDATE_COMPLETED 5
#define IDS_RESTART_NOW 6
#define IDS_RESTART_LATER 7

// The restart dialog and its controls.
#define IDD_RESTART 168
#define IDC_RESTART_NOW 1000
#define IDC_RESTART_LATER 1001
#define IDC_RESTART_QUESTION 1002
