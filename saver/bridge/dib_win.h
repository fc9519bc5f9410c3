// The bitmap reader on the platform: files through OpenFile and _lread, blocks from GlobalAlloc,
// and the device-dependent bitmap made from a block for the screen.
#ifndef NVR_SAVER_BRIDGE_DIB_WIN_H
#define NVR_SAVER_BRIDGE_DIB_WIN_H

#include <windows.h>

#include "saver/bridge/dib_reader.h"

// A stream over an HFILE (HFILE_ERROR: a stream that is not open) and the GlobalAlloc allocator.
DibStream DibFileStream(HFILE* file);
DibAllocator DibGlobalAllocator(void);

// The whole file as a packed bitmap in a movable global block, owned by the caller (GlobalFree);
// null when it cannot be opened, read or is refused.
HGLOBAL ReadDibFile(LPCSTR path);

// A device-dependent bitmap for the screen from a packed bitmap, realised under palette (may be
// null). The block is only borrowed. Null when the block is missing, unsound or GDI fails.
HBITMAP MakeDeviceBitmap(HGLOBAL packedDib, HPALETTE palette);

#endif
