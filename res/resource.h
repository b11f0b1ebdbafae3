// Resource and control identifiers. Used by C++ and by the resource script,
// so plain #defines only.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX    100
#define IDD_PROCESSLIST 102
#define IDD_SYSINFO     131
#define IDD_BLOCKLIST   139
#define IDD_ADDBLOCK    140
// Startup entries
#define IDD_STARTUP     160
#define IDD_CONNECTIONS 170
#define IDD_FILEUSERS   180

// Menus, strings, icon, cursor
#define IDR_TRAYMENU  130
#define IDR_MAINMENU  141
#define IDR_ROWMENU   142
#define IDS_ABOUTBOX  101
#define IDR_MAINFRAME 128
#define IDC_LINKHAND  129
#define IDI_FINDER    150

// Main window
#define IDC_PROCESSLIST 1000
#define IDC_REFRESH     1001
#define IDC_TERMINATE   1002
#define IDC_COUNTTEXT   1013
#define IDC_PROMPTCHECK 1015
#define IDC_BLOCK       1019
#define IDC_SLIM        1020
#define IDC_DELETEFILE  1034
#define IDC_DETAILS     1037

// Block list editor and add box
#define IDC_DELETENAME 1021
#define IDC_NAMEEDIT   1041
#define IDC_NAMELIST   1051
#define IDC_ADDNAME    1052

// System information
#define IDC_MEMUSED       1026
#define IDC_MEMTOTAL      1027
#define IDC_PROGRESSTOTAL 1028
#define IDC_PROGRESSUSED  1029
#define IDC_MEMUSAGE      1030
#define IDC_COMPUTERNAME  1031
#define IDC_USERNAME      1032
#define IDC_CPUSPEED      1033
#define IDC_VIRTUALMEM    1035
#define IDC_CPUIDENTITY   1041
#define IDC_SCALEMAX      1047

// About box
#define IDC_LINKHOME  1023
#define IDC_LINKMAIL  1024
#define IDC_MAILLABEL 1025

// Startup entries
#define IDC_STARTUPLIST    1130
#define IDC_STARTUPTOGGLE  1131
#define IDC_STARTUPREMOVE  1132
#define IDC_STARTUPFOLDER  1133
#define IDC_STARTUPBLOCK   1134
#define IDC_STARTUPREFRESH 1135
#define IDC_STARTUPHIDEOWN 1136
#define IDC_STARTUPCOUNT   1137

// Network connections dialog
#define IDC_CONNLIST       1140
#define IDC_CONNTERMINATE  1141
#define IDC_CONNBLOCK      1142
#define IDC_CONNDISCONNECT 1143
#define IDC_CONNCOPY       1144
#define IDC_CONNREFRESH    1145

// Commands
#define ID_TRAY_SHOW      32771
#define ID_TRAY_SYSINFO   32772
#define ID_TRAY_ABOUT     32773
#define ID_TRAY_EXIT      32774
#define ID_TRAY_HELP      32777
#define ID_TRAY_BLOCKLIST 32778
#define ID_TRAY_VIEWLOG   32779
#define ID_TRAY_AUTORUN   32780
#define ID_MENU_SYSINFO   32781
#define ID_MENU_EXPORT    32782
#define ID_MENU_EXIT      32783
#define ID_MENU_BLOCKLIST 32784
#define ID_MENU_HELP      32785
#define ID_MENU_ABOUT     32786
#define ID_MENU_VIEWLOG   32787
#define ID_MENU_AUTORUN   32788
#define ID_ROW_OPENFOLDER 32790
#define ID_ROW_COPYNAME   32791
#define ID_ROW_COPYPATH   32792
#define IDM_ABOUTBOX      0x0010
// The process tree: its order in the list and the end of a whole tree
#define ID_MENU_TREEORDER    32810
#define ID_ROW_TERMINATETREE 32811
// Suspend, resume and the six priority classes, in the order of PriorityLevel
#define ID_ROW_SUSPEND              32812
#define ID_ROW_RESUME               32813
#define ID_ROW_PRIORITY_REALTIME    32814
#define ID_ROW_PRIORITY_HIGH        32815
#define ID_ROW_PRIORITY_ABOVENORMAL 32816
#define ID_ROW_PRIORITY_NORMAL      32817
#define ID_ROW_PRIORITY_BELOWNORMAL 32818
#define ID_ROW_PRIORITY_IDLE        32819
// Startup entries
#define ID_MENU_STARTUP 32830
#define ID_TRAY_STARTUP 32831

#define ID_MENU_CONNECTIONS 32840
#define ID_ROW_CONNECTIONS  32841

// The window finder's target in the main window
#define IDC_FINDERTARGET 1160

// The processes that hold a file
#define ID_MENU_FILEUSERS     32850
#define IDC_FILEUSERLIST      1800
#define IDC_FILEUSERTERMINATE 1801
#define IDC_FILEUSERLOCATE    1802

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
