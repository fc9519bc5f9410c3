// Resource numbers of NPNVR.DLL, shared by the resource script and the code.
#ifndef NVR_PLUGIN_RESOURCE_IDS_H
#define NVR_PLUGIN_RESOURCE_IDS_H

#define IDB_PLACEHOLDER 2401  // the product logo, painted while the application is elsewhere

#endif
