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

// Index of the first pixel where two R, G, B buffers differ, or -1 when they are equal.
long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

}  // namespace dibtest

#endif
