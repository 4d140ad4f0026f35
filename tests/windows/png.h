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

// Draws the window (frame included) into a bitmap and writes it; false when either fails.
bool SaveWindowPng(HWND window, const std::wstring& path);

}  // namespace quorvane::windows::testing
