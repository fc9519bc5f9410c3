#include "dib_support.h"

namespace dibtest {

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD got = 0;
  if (size && !ReadFile(file, bytes.data(), size, &got, nullptr)) got = 0;
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(file);
  return ok && put == bytes.size();
}

std::vector<unsigned char> BitmapRgb(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info;
  ZeroMemory(&info, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<unsigned char> bgrx(static_cast<size_t>(width) * height * 4);
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, bitmap, 0, height, bgrx.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  std::vector<unsigned char> rgb;
  if (lines != height) return rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (size_t k = 0; k < bgrx.size(); k += 4) {
    rgb.push_back(bgrx[k + 2]);
    rgb.push_back(bgrx[k + 1]);
    rgb.push_back(bgrx[k]);
  }
  return rgb;
}

std::vector<unsigned char> ScreenRgb(int x, int y, int width, int height) {
  std::vector<unsigned char> rgb;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BOOL copied = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (copied) rgb = BitmapRgb(bitmap, width, height);
  DeleteObject(bitmap);
  return rgb;
}

void PatternRgb(int x, int y, unsigned char rgb[3]) {
  rgb[0] = static_cast<unsigned char>(x * 5 + 17);
  rgb[1] = static_cast<unsigned char>(y * 3 + 40);
  rgb[2] = static_cast<unsigned char>((x ^ y) | 0x21);
}

std::vector<unsigned char> PatternPixels(int width, int height) {
  std::vector<unsigned char> rgb;
  unsigned char c[3];
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      PatternRgb(x, y, c);
      rgb.insert(rgb.end(), c, c + 3);
    }
  return rgb;
}

std::vector<unsigned char> PatternBitmapFile(int width, int height) {
  DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u, image = row * height;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + image;
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::vector<unsigned char> bytes(file.bfSize, 0);
  memcpy(bytes.data(), &file, sizeof file);
  memcpy(bytes.data() + sizeof file, &info, sizeof info);
  unsigned char c[3];
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      PatternRgb(x, y, c);
      unsigned char* p = &bytes[file.bfOffBits + (height - 1 - y) * row + x * 3];
      p[0] = c[2];
      p[1] = c[1];
      p[2] = c[0];
    }
  return bytes;
}

long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return 0;
  for (size_t k = 0; k < a.size(); ++k)
    if (a[k] != b[k]) return static_cast<long>(k / 3);
  return -1;
}

}  // namespace dibtest
