#include "plugin/instance_records_win.h"

namespace {

const char INSTANCE_PROPERTY[] = "NPNVR.Instance";

LONG_PTR OwnProcedure(void) { return reinterpret_cast<LONG_PTR>(PluginWindowProc); }

}  // namespace

void LinkRecord(PluginInstanceData* record, NPP instance) {
  record->savedWndProc = 0;
  record->pluginWindow = nullptr;
  record->instance = instance;
  record->serial = ++pluginState.lastSerial;
  record->waitingWindow = nullptr;
  record->closing = 0;
  record->next = pluginState.records;
  pluginState.records = record;
}

void Unlink(PluginInstanceData* record) {
  for (PluginInstanceData** link = &pluginState.records; *link; link = &(*link)->next) {
    if (*link != record) continue;
    *link = record->next;
    return;
  }
}

PluginInstanceData* LiveRecord(DWORD serial) {
  for (PluginInstanceData* record = pluginState.records; record; record = record->next)
    if (record->serial == serial) return record;
  return nullptr;
}

PluginInstanceData* FirstWaitingRecord(void) {
  PluginInstanceData* record = pluginState.records;
  while (record && !record->waitingWindow) record = record->next;
  return record;
}

NPP AttachedInstance(HWND window) { return static_cast<NPP>(GetPropA(window, INSTANCE_PROPERTY)); }

void DetachInstance(HWND window) { RemovePropA(window, INSTANCE_PROPERTY); }

PluginInstanceData* WindowRecord(HWND window) {
  NPP instance = AttachedInstance(window);
  return instance ? static_cast<PluginInstanceData*>(instance->pdata) : nullptr;
}

void SubclassWindow(PluginInstanceData* record, HWND window) {
  // Subclassed a second time, a window would pass its messages on to the plug-in's procedure
  // itself, without end.
  if (AttachedInstance(window) || GetWindowLongPtrA(window, GWLP_WNDPROC) == OwnProcedure())
    return;
  ReleaseWindow(record);
  record->pluginWindow = window;
  SetPropA(window, INSTANCE_PROPERTY, record->instance);
  record->savedWndProc = SetWindowLongPtrA(window, GWLP_WNDPROC, OwnProcedure());
  if (!record->savedWndProc) DetachInstance(window);
}

void ReleaseWindow(PluginInstanceData* record) {
  HWND window = record->pluginWindow;
  if (record->savedWndProc && window && AttachedInstance(window) == record->instance) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, record->savedWndProc);
    DetachInstance(window);
  }
  record->savedWndProc = 0;
  record->pluginWindow = nullptr;
}

void ReleaseAllWindows(void) {
  for (PluginInstanceData* record = pluginState.records; record; record = record->next)
    ReleaseWindow(record);
}
