// Helpers for the bitmap reader's Wine tests: files, and the pixels of a device bitmap.
#ifndef NVR_TESTS_WINE_DIB_SUPPORT_H
#define NVR_TESTS_WINE_DIB_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace dibtest {

std::vector<unsigned char> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);

// The bitmap's pixels as 8-bit R, G, B, top row first (the layout ImageMagick's rgb: writes);
// empty when GetDIBits fails.
std::vector<unsigned char> BitmapRgb(HBITMAP bitmap, int width, int height);

// What the screen shows in the rectangle at (x, y), as 8-bit R, G, B, top row first.
std::vector<unsigned char> ScreenRgb(int x, int y, int width, int height);

// A 24-bit bitmap file (file header, 40-byte header, bottom-up rows) whose pixel (x, y) is
// PatternRgb(x, y); and that colour.
std::vector<unsigned char> PatternBitmapFile(int width, int height);
void PatternRgb(int x, int y, unsigned char rgb[3]);
std::vector<unsigned char> PatternPixels(int width, int height);

// Index of the first pixel where two R, G, B buffers differ, or -1 when they are equal.
long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

}  // namespace dibtest

#endif
