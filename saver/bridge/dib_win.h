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

// What ReadDibFile and MakeDeviceBitmap make together, from the file at path, without holding the
// whole file in memory: an uncompressed bottom-up bitmap goes to the device bitmap a band of rows
// at a time, through one small buffer; any other goes the whole-block way. The same pixels, the
// same limits on bad input. The palette to realise comes from askPalette (may be null, as may
// its answer), asked once the file has been accepted, as it is after ReadDibFile. Null when
// either way would give null.
HBITMAP LoadDeviceBitmap(LPCSTR path, HPALETTE (*askPalette)(void));

#endif
