// Writes a window's picture as a PNG file (stored, uncompressed deflate: no library needed).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::windows::testing {

// `rgb` holds width*height pixels, 3 bytes each, row by row from the top.
bool WritePng(const std::wstring& path, int width, int height,
              const std::vector<std::uint8_t>& rgb);

// What the screen shows of a window (frame included), once it has painted itself.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes a pixel, row by row from the top
  // The colour at a point from the window's top left; CLR_INVALID outside.
  COLORREF At(int x, int y) const;
};
Picture CaptureWindow(HWND window);

// Draws the window (frame included) into a bitmap and writes it; false when either fails.
bool SaveWindowPng(HWND window, const std::wstring& path);

}  // namespace quorvane::windows::testing
