// Resource identifiers of nvrss32, shared by the resource script and the code.
#ifndef NVR_SAVER_RESOURCES_RESOURCE_IDS_H
#define NVR_SAVER_RESOURCES_RESOURCE_IDS_H

#define IDI_SAVER 100           // icon group: one 32 x 32 image with 16 colours
#define IDC_POINTING_HAND 224   // cursor group the application may name in its WM_SETCURSOR reply
#define IDD_CONFIG 2003         // the configuration dialog
#define IDS_DESCRIPTION 1       // the description under which the system lists the saver
#define IDS_PRODUCT 100
#define IDS_PWPROTECTED_KEY 1000
#define IDS_CONTROL_INI 1001
#define IDC_ALT_CLICK 113
#define IDC_PLAIN_CLICK 114

#endif
