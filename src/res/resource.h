// Resource and control ids of the setup program.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_MESSAGE_PROMPT 129
#define IDB_BANNER 134
#define IDD_WAIT_PROMPT 136

#define IDC_BEGIN 1000
#define IDC_READ_PORT 1001
#define IDC_MESSAGE 1002
#define IDC_BUTTON3 1003

#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
