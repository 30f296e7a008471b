/* Ids shared by the resource script and the C++ code (kept plain C
   preprocessor so that windres reads it too). */
#ifndef ZAV_RESOURCE_IDS_H
#define ZAV_RESOURCE_IDS_H

/* Menu "Menue_LUM2" */
#define IDM_CONFIGURATION 21
#define IDM_CONNECT 22
#define IDM_SETUP 23
#define IDM_PORT 30
#define IDM_VERSION 40
#define IDM_INFO 41

/* Dialog "ComBox": port buttons 103 (COM 1) to 114 (COM 12) */
#define IDC_PORT_FIRST 103
#define IDC_PORT_LAST 114
#define IDC_PORT_OK 115
#define IDC_PORT_CANCEL 116

#endif
