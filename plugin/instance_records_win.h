// The instance records: which instances live, and which instance each window of the plug-in's
// names. The entry points and the hand-off both keep them through these procedures alone.
#ifndef NVR_PLUGIN_INSTANCE_RECORDS_WIN_H
#define NVR_PLUGIN_INSTANCE_RECORDS_WIN_H

#include "plugin/plugin_state_win.h"

// Fills a new record for instance, nothing subclassed, and links it into the module's list.
void LinkRecord(PluginInstanceData* record, NPP instance);
// Takes the record out of the list: its instance no longer lives.
void Unlink(PluginInstanceData* record);

// The record with this serial while its instance lives, else null: looked up again after every
// send that may wait, as the browser may destroy the instance meanwhile.
PluginInstanceData* LiveRecord(DWORD serial);
// The first live record whose element waits to be handed a window, or null.
PluginInstanceData* FirstWaitingRecord(void);

// Each subclassed window names its own instance, so that several instances live side by side
// and a destroyed one is never reached: a window property set when the window is subclassed and
// removed when its procedure is put back.
NPP AttachedInstance(HWND window);
void DetachInstance(HWND window);
// The record of the instance the window names, or null when the window is no longer the
// plug-in's: looked up again after every send that may wait.
PluginInstanceData* WindowRecord(HWND window);

// Makes window the element's own: the plug-in's procedure installed, and the element's former
// window given its procedure back. A window that is the plug-in's already, this element's or
// another's, is left as it is. A failed attempt leaves savedWndProc 0 and the next call tries again.
void SubclassWindow(PluginInstanceData* record, HWND window);
// Gives the record's window its procedure back, while it still lives and names this instance: a
// handle of a window gone may already belong to another. The record then holds no window.
void ReleaseWindow(PluginInstanceData* record);
// The same for every live record: the module is unloaded.
void ReleaseAllWindows(void);

#endif
