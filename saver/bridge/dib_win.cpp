#include "saver/bridge/dib_win.h"

#include "saver/bridge/bridge_state_win.h"

// The reader's own copies of the published layouts and codes, held against the platform's.
static_assert(DIB_FILE_HEADER_SIZE == sizeof(BITMAPFILEHEADER), "BITMAPFILEHEADER");
static_assert(DIB_INFO_HEADER_SIZE == sizeof(BITMAPINFOHEADER), "BITMAPINFOHEADER");
static_assert(sizeof(DibInfoHeader) == sizeof(BITMAPINFOHEADER), "DibInfoHeader");
static_assert(DIB_CORE_HEADER_SIZE == sizeof(BITMAPCOREHEADER), "BITMAPCOREHEADER");
static_assert(DIB_RGBQUAD_SIZE == sizeof(RGBQUAD), "RGBQUAD");
static_assert(DIB_RGBTRIPLE_SIZE == sizeof(RGBTRIPLE), "RGBTRIPLE");
static_assert(DIB_BI_RGB == BI_RGB && DIB_BI_RLE8 == BI_RLE8 && DIB_BI_RLE4 == BI_RLE4,
              "compression codes");

namespace {

uint32_t FileRead(void* context, void* buffer, uint32_t count) {
  UINT got = _lread(*static_cast<HFILE*>(context), buffer, count);
  return got == static_cast<UINT>(HFILE_ERROR) ? 0 : got;
}

int32_t FileSeekSet(void* context, int32_t position) {
  return _llseek(*static_cast<HFILE*>(context), position, FILE_BEGIN);
}

int32_t FileSeekCurrent(void* context, int32_t offset) {
  return _llseek(*static_cast<HFILE*>(context), offset, FILE_CURRENT);
}

const UINT BLOCK_FLAGS = GMEM_MOVEABLE | GMEM_ZEROINIT;

DibBlock BlockAllocate(void*, uint32_t size) { return GlobalAlloc(BLOCK_FLAGS, size); }

DibBlock BlockGrow(void*, DibBlock block, uint32_t size) {
  return GlobalReAlloc(static_cast<HGLOBAL>(block), size, BLOCK_FLAGS);
}

uint8_t* BlockLock(void*, DibBlock block) {
  return static_cast<uint8_t*>(GlobalLock(static_cast<HGLOBAL>(block)));
}

void BlockUnlock(void*, DibBlock block) { GlobalUnlock(static_cast<HGLOBAL>(block)); }

void BlockRelease(void*, DibBlock block) { GlobalFree(static_cast<HGLOBAL>(block)); }

}  // namespace

DibStream DibFileStream(HFILE* file) {
  return DibStream{file, *file != HFILE_ERROR, &FileRead, &FileSeekSet, &FileSeekCurrent};
}

DibAllocator DibGlobalAllocator(void) {
  return DibAllocator{nullptr, &BlockAllocate, &BlockGrow, &BlockLock, &BlockUnlock, &BlockRelease};
}

HGLOBAL ReadDibFile(LPCSTR path) {
  OFSTRUCT scratch;
  HFILE file = OpenFile(path, &scratch, OF_READ);
  if (file == HFILE_ERROR) return nullptr;
  DibBlock block = ReadDibStream(DibFileStream(&file), DibGlobalAllocator());
  _lclose(file);
  return static_cast<HGLOBAL>(block);
}

HBITMAP MakeDeviceBitmap(HGLOBAL packedDib, HPALETTE palette) {
  bridgeState.savedCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  const uint8_t* bytes = packedDib ? static_cast<const uint8_t*>(GlobalLock(packedDib)) : nullptr;
  if (!bytes) {
    SetCursor(bridgeState.savedCursor);
    return nullptr;
  }
  // The block may come from anywhere: GDI reads the header, table and rows it describes, so they
  // must all lie inside the block.
  SIZE_T size = GlobalSize(packedDib);
  if (size > DIB_MAX_BLOCK_SIZE) size = DIB_MAX_BLOCK_SIZE;
  if (!DibBlockIsSound(bytes, static_cast<uint32_t>(size), 1)) {
    GlobalUnlock(packedDib);
    SetCursor(bridgeState.savedCursor);
    return nullptr;
  }
  const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
  const void* bits = bytes + header->biSize + DibColorTableSize(bytes);

  HBITMAP bitmap = nullptr;
  HDC screen = GetDC(nullptr);
  if (screen) {
    HPALETTE oldPalette = nullptr;
    if (palette) {
      oldPalette = SelectPalette(screen, palette, FALSE);
      RealizePalette(screen);
    }
    bitmap = CreateDIBitmap(screen, header, CBM_INIT, bits,
                            reinterpret_cast<const BITMAPINFO*>(bytes), DIB_RGB_COLORS);
    if (oldPalette) SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
  }
  GlobalUnlock(packedDib);
  SetCursor(bridgeState.savedCursor);
  return bitmap;
}
