#pragma once
// A small raster image over the JPEG codec: load a JPEG, copy a captured bitmap, crop, make
// a fixed-size preview on a plain background, save as JPEG. 24 bits per pixel (blue, green,
// red), rows padded to a multiple of 4 bytes.

#include <cstdint>
#include <vector>

#include <QString>

namespace trevalo {

class Image {
 public:
  Image() = default;

  bool empty() const { return width_ <= 0 || height_ <= 0; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return Stride(width_); }
  const std::uint8_t* row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * stride();
  }
  // Blue, green, red of a pixel.
  const std::uint8_t* pixel(int x, int y) const { return row(y) + 3 * x; }

  // Decodes a JPEG file; false (and the image unchanged) when it cannot be read or decoded.
  bool LoadJpeg(const QString& path);
  // Copies a bitmap of `width` x `height` pixels in blue, green, red order, rows `stride`
  // bytes apart, top row first.
  void FromBitmap(int width, int height, const std::uint8_t* bgr, int stride);
  // Keeps the pixels with left <= x < right and top <= y < bottom (clipped to the image);
  // false when nothing is left.
  bool Crop(int left, int top, int right, int bottom);
  // Scales the image down to fit the box when it is larger (bilinear) and centres it on a
  // box-sized canvas of the background colour (0xRRGGBB). False for an empty image or box.
  bool Thumbnail(int boxWidth, int boxHeight, std::uint32_t backgroundRgb);
  // Encodes as a baseline JPEG with the codec's default quality and writes the file whole
  // or not at all; false when it cannot be written.
  bool SaveJpeg(const QString& path) const;

 private:
  static int Stride(int width) { return (3 * width + 3) & ~3; }

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace trevalo
