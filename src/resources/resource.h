// Resource and command identifiers shared by the program and its .rc file.
#pragma once

#define IDS_APP_TITLE 103
#define IDC_ORVEX 109
#define IDI_ORVEX 130

#define IDD_ABOUTBOX 103
#define IDD_SETTINGS 131

#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SETTINGS 1124
#define IDM_ADJUSTSIZE 1125
#define IDM_LAUNCHGAME 1126
#define IDM_CLOSEGAME 1127
#define IDM_RESETKEYS 1128

// About box controls
#define IDC_ABOUT_VERSION 1011
#define IDC_ABOUT_LINK 1021

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
