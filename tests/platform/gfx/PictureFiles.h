#pragma once

// Small pictures of every format, encoded in memory by the reference libraries.

#include <cstdint>
#include <string>
#include <vector>

namespace pictavo::test {

using Bytes = std::vector<uint8_t>;

// 4 x 2 picture: top row red, green, blue, white; bottom row black, grey, yellow, a
// half-transparent magenta (formats without alpha get it opaque).
Bytes makePng(int width = 4, int height = 2);
Bytes makeJpeg(int width, int height, int quality = 95);
Bytes makeGif();
Bytes makeBmp24();
Bytes makeBmp8();
Bytes makeTiff(const std::string& tempPath);

// The pixel (B, G, R, A) of the sample at (x, y).
void samplePixel(int x, int y, uint8_t out[4], bool withAlpha);

} // namespace pictavo::test
