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

namespace {

// The rows a band holds: as many as fit this many bytes, and at least one.
const uint32_t BAND_BYTES = 4 * DIB_CHUNK_SIZE;

// count bytes of the pixel area into band, in pieces of at most DIB_CHUNK_SIZE as ReadInChunks
// takes them; after the first short piece (the file has ended) the rest reads as zeros, as the
// whole block's missing bytes do. *ended carries that over from band to band.
void ReadBand(const DibStream& stream, uint8_t* band, uint32_t count, bool* ended) {
  uint32_t done = 0;
  while (done < count && !*ended) {
    uint32_t piece = count - done < DIB_CHUNK_SIZE ? count - done : DIB_CHUNK_SIZE;
    uint32_t got = stream.read(stream.context, band + done, piece);
    done += got;
    *ended = got != piece;
  }
  for (; done < count; ++done) band[done] = 0;
}

// The bands: rows from the bottom up, as the file holds them, each set into bitmap under the
// header and table the reader accepted. 1 when every band was set.
int SetBands(const DibStream& stream, HDC screen, HBITMAP bitmap, const uint8_t* headerBlock) {
  const DibInfoHeader* header = reinterpret_cast<const DibInfoHeader*>(headerBlock);
  uint32_t height = static_cast<uint32_t>(header->biHeight);
  // The reader accepted the header: the rows fit a block, so their size fits 32 bits.
  uint32_t stride = static_cast<uint32_t>(DibDescribedRowBytes(*header) / height);
  uint32_t rows = stride >= BAND_BYTES ? 1 : BAND_BYTES / stride;
  HGLOBAL buffer = GlobalAlloc(GMEM_FIXED, rows * stride);
  uint8_t* band = static_cast<uint8_t*>(buffer);
  bool ended = false;
  int ok = band != nullptr;
  for (uint32_t y = 0; ok && y < height; y += rows) {
    uint32_t n = height - y < rows ? height - y : rows;
    ReadBand(stream, band, n * stride, &ended);
    ok = SetDIBits(screen, bitmap, y, n, band, reinterpret_cast<const BITMAPINFO*>(headerBlock),
                   DIB_RGB_COLORS) == static_cast<int>(n);
  }
  if (buffer) GlobalFree(buffer);
  return ok;
}

}  // namespace

HBITMAP LoadDeviceBitmap(LPCSTR path, HPALETTE (*askPalette)(void)) {
  OFSTRUCT scratch;
  HFILE file = OpenFile(path, &scratch, OF_READ);
  if (file == HFILE_ERROR) return nullptr;
  DibStream stream = DibFileStream(&file);
  DibAllocator allocator = DibGlobalAllocator();
  HGLOBAL headers = static_cast<HGLOBAL>(ReadDibHeaders(stream, allocator));
  const uint8_t* bytes = headers ? static_cast<const uint8_t*>(GlobalLock(headers)) : nullptr;
  const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
  if (bytes && (header->biCompression != BI_RGB || header->biHeight <= 0)) {
    // Compressed or top-down: the whole block, read again from the start.
    GlobalUnlock(headers);
    GlobalFree(headers);
    _lclose(file);
    HGLOBAL block = ReadDibFile(path);
    if (!block) return nullptr;
    HBITMAP bitmap = MakeDeviceBitmap(block, askPalette ? askPalette() : nullptr);
    GlobalFree(block);
    return bitmap;
  }
  HPALETTE palette = bytes && askPalette ? askPalette() : nullptr;
  HBITMAP bitmap = nullptr;
  HDC screen = bytes ? GetDC(nullptr) : nullptr;
  if (screen) {
    bridgeState.savedCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HPALETTE oldPalette = nullptr;
    if (palette) {
      oldPalette = SelectPalette(screen, palette, FALSE);
      RealizePalette(screen);
    }
    bitmap = CreateDIBitmap(screen, header, 0, nullptr, nullptr, DIB_RGB_COLORS);
    if (bitmap && !SetBands(stream, screen, bitmap, bytes)) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
    if (oldPalette) SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    SetCursor(bridgeState.savedCursor);
  }
  if (bytes) GlobalUnlock(headers);
  if (headers) GlobalFree(headers);
  _lclose(file);
  return bitmap;
}
