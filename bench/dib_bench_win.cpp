// Bitmap reader benchmark: a 3840 x 2160 24-bit file read by ReadDibFile against a plain read of
// the same file in 32 KB chunks, and the saver's loader (LoadDeviceBitmap, a band at a time) and
// ReadDibFile + MakeDeviceBitmap (the whole block) against LoadImageA. Each pair
// is timed side by side, alternating, and the best of several rounds is compared.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "harness.h"
#include "saver/bridge/dib_win.h"

namespace {

const int WIDTH = 3840, HEIGHT = 2160, ROUNDS = 7;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

template <typename F>
double Time(F f) {
  LARGE_INTEGER a, b;
  QueryPerformanceCounter(&a);
  f();
  QueryPerformanceCounter(&b);
  return Seconds(a, b);
}

// The plain way: the whole file into one global block, 32 KB at a time.
bool RawRead(const char* path) {
  OFSTRUCT of;
  HFILE file = OpenFile(path, &of, OF_READ);
  if (file == HFILE_ERROR) return false;
  LONG size = _llseek(file, 0, FILE_END);
  _llseek(file, 0, FILE_BEGIN);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  unsigned char* p = static_cast<unsigned char*>(GlobalLock(block));
  for (LONG done = 0; done < size;) {
    UINT n = _lread(file, p + done, size - done < 0x8000 ? size - done : 0x8000);
    if (n == 0 || n == static_cast<UINT>(HFILE_ERROR)) break;
    done += n;
  }
  GlobalUnlock(block);
  GlobalFree(block);
  _lclose(file);
  return true;
}

bool ReaderRead(const char* path) {
  HGLOBAL block = ReadDibFile(path);
  if (!block) return false;
  GlobalFree(block);
  return true;
}

bool ReaderBitmap(const char* path) {
  HGLOBAL block = ReadDibFile(path);
  if (!block) return false;
  HBITMAP bitmap = MakeDeviceBitmap(block, nullptr);
  GlobalFree(block);
  if (!bitmap) return false;
  DeleteObject(bitmap);
  return true;
}

bool SaverBitmap(const char* path) {
  HBITMAP bitmap = LoadDeviceBitmap(path, nullptr);
  if (!bitmap) return false;
  DeleteObject(bitmap);
  return true;
}

bool SystemBitmap(const char* path) {
  HANDLE bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  if (!bitmap) return false;
  DeleteObject(bitmap);
  return true;
}

}  // namespace

int main() {
  harness::TempFile file("dib");
  const char* path = file.path.c_str();
  if (!harness::WriteWholeFile(file.path, harness::PatternBitmapFile(WIDTH, HEIGHT))) {
    std::printf("dib bench: cannot write %s\n", path);
    return 1;
  }
  bool ok = true;
  double raw = 1e9, reader = 1e9, readerBitmap = 1e9, saver = 1e9, system = 1e9, bitmapOnly = 1e9;
  HGLOBAL held = ReadDibFile(path);
  if (!held) {
    std::printf("dib bench: ReadDibFile failed\n");
    return 1;
  }
  for (int round = 0; round < ROUNDS; ++round) {
    double t;
    t = Time([&] { ok &= RawRead(path); });
    if (t < raw) raw = t;
    t = Time([&] { ok &= ReaderRead(path); });
    if (t < reader) reader = t;
    t = Time([&] { ok &= ReaderBitmap(path); });
    if (t < readerBitmap) readerBitmap = t;
    t = Time([&] { ok &= SaverBitmap(path); });
    if (t < saver) saver = t;
    t = Time([&] { ok &= SystemBitmap(path); });
    if (t < system) system = t;
    HBITMAP made = nullptr;
    t = Time([&] { made = MakeDeviceBitmap(held, nullptr); });
    if (t < bitmapOnly) bitmapOnly = t;
    ok &= made != nullptr;
    DeleteObject(made);
  }
  GlobalFree(held);
  if (!ok) {
    std::printf("dib bench: a load failed\n");
    return 1;
  }
  std::printf("dib bench, %dx%d 24-bit, best of %d:\n", WIDTH, HEIGHT, ROUNDS);
  std::printf("  ReadDibFile %.1f ms, plain 32 KB chunked read %.1f ms: speed ratio %.2f (goal >= 0.9)\n",
              reader * 1e3, raw * 1e3, raw / reader);
  std::printf("  LoadDeviceBitmap (the saver's loader) %.1f ms, LoadImageA %.1f ms: speed ratio %.2f (goal >= 1.0)\n",
              saver * 1e3, system * 1e3, system / saver);
  std::printf("  ReadDibFile+MakeDeviceBitmap %.1f ms, LoadImageA %.1f ms: speed ratio %.2f\n",
              readerBitmap * 1e3, system * 1e3, system / readerBitmap);
  std::printf("  of which MakeDeviceBitmap alone %.1f ms\n", bitmapOnly * 1e3);
  return 0;
}
