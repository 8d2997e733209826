// Resource and control ids shared by the resource script and the code.
#pragma once

#define IDD_MAIN 103
#define IDI_APP 107
#define IDB_OFF 146
#define IDB_ON 147
#define IDD_HOTKEY 148

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Main window. The two pictures are created at run time, not by the template.
#define IDC_IMAGE_ON 400
#define IDC_IMAGE_OFF 401
#define IDC_SET_HOTKEY 1001
#define IDC_HOTKEY_LABEL 1003

// Hotkey selection window. Ids are per dialog: 1003 is reused here.
#define IDC_APPLY 1002
#define IDC_CANCEL_CHOICE 1003
