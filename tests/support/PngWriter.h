#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes 24-bit RGB pixels (top row first) as a PNG file, with stored (uncompressed) deflate
// blocks: enough for test screenshots, with no library to link.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
