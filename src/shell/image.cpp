#include "shell/image.h"

#include <jpeglib.h>
#include <csetjmp>
#include <cstdio>

#include <algorithm>
#include <cmath>

#include <QFile>

#include "files/atomic_file.h"
#include "files/native_files.h"

namespace trevalo {
namespace {

// libjpeg reports errors by calling error_exit, which must not return: jump back out.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr codec) {
  std::longjmp(reinterpret_cast<JpegError*>(codec->err)->jump, 1);
}

void Silence(j_common_ptr, int) {}

// An error manager that jumps back instead of ending the process, and stays quiet.
jpeg_error_mgr* JumpingErrors(JpegError& error) {
  jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.emit_message = Silence;
  return &error.manager;
}

// Decodes into `pixels` (rows padded to 4 bytes); false on any codec error. Only plain data
// lives between setjmp and the codec calls.
bool Decode(const QByteArray& file, std::vector<std::uint8_t>& pixels, int& width, int& height) {
  jpeg_decompress_struct codec{};
  JpegError error{};
  codec.err = JumpingErrors(error);
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&codec);
    return false;
  }
  jpeg_create_decompress(&codec);
  jpeg_mem_src(&codec, reinterpret_cast<const unsigned char*>(file.constData()),
               static_cast<unsigned long>(file.size()));
  jpeg_read_header(&codec, TRUE);
  codec.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&codec);
  width = static_cast<int>(codec.output_width);
  height = static_cast<int>(codec.output_height);
  const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  pixels.assign(stride * static_cast<std::size_t>(height), 0);
  while (codec.output_scanline < codec.output_height) {
    JSAMPROW row = pixels.data() + stride * codec.output_scanline;
    jpeg_read_scanlines(&codec, &row, 1);
  }
  jpeg_finish_decompress(&codec);
  jpeg_destroy_decompress(&codec);
  return true;
}

bool Encode(const std::vector<std::uint8_t>& pixels, int width, int height, unsigned char*& out,
            unsigned long& size) {
  jpeg_compress_struct codec{};
  JpegError error{};
  codec.err = JumpingErrors(error);
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&codec);
    return false;
  }
  jpeg_create_compress(&codec);
  jpeg_mem_dest(&codec, &out, &size);
  codec.image_width = static_cast<JDIMENSION>(width);
  codec.image_height = static_cast<JDIMENSION>(height);
  codec.input_components = 3;
  codec.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&codec);
  jpeg_start_compress(&codec, TRUE);
  const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  while (codec.next_scanline < codec.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + stride * codec.next_scanline;
    jpeg_write_scanlines(&codec, &row, 1);
  }
  jpeg_finish_compress(&codec);
  jpeg_destroy_compress(&codec);
  return true;
}

}  // namespace

bool Image::LoadJpeg(const QString& path) {
  QFile file;
  if (!OpenForReading(file, path).isEmpty()) {
    return false;
  }
  const QByteArray bytes = file.readAll();
  std::vector<std::uint8_t> pixels;
  int width = 0;
  int height = 0;
  if (!Decode(bytes, pixels, width, height) || width <= 0 || height <= 0) {
    return false;
  }
  width_ = width;
  height_ = height;
  pixels_ = std::move(pixels);
  return true;
}

void Image::FromBitmap(int width, int height, const std::uint8_t* bgr, int sourceStride) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<std::size_t>(stride()) * static_cast<std::size_t>(height_), 0);
  for (int y = 0; y < height_; ++y) {
    std::copy_n(bgr + static_cast<std::ptrdiff_t>(y) * sourceStride, 3 * width_,
                pixels_.data() + static_cast<std::size_t>(y) * stride());
  }
}

bool Image::Crop(int left, int top, int right, int bottom) {
  left = std::clamp(left, 0, width_);
  right = std::clamp(right, left, width_);
  top = std::clamp(top, 0, height_);
  bottom = std::clamp(bottom, top, height_);
  Image cropped;
  cropped.width_ = right - left;
  cropped.height_ = bottom - top;
  cropped.pixels_.assign(static_cast<std::size_t>(cropped.stride()) * cropped.height_, 0);
  for (int y = 0; y < cropped.height_; ++y) {
    std::copy_n(pixel(left, top + y), 3 * cropped.width_,
                cropped.pixels_.data() + static_cast<std::size_t>(y) * cropped.stride());
  }
  *this = std::move(cropped);
  return !empty();
}

bool Image::Thumbnail(int boxWidth, int boxHeight, std::uint32_t backgroundRgb) {
  if (empty() || boxWidth <= 0 || boxHeight <= 0) {
    return false;
  }
  int scaledWidth = width_;
  int scaledHeight = height_;
  float factor = 1;
  if (width_ > boxWidth || height_ > boxHeight) {
    const float boxRatio = static_cast<float>(boxWidth) / static_cast<float>(boxHeight);
    factor = static_cast<float>(width_) < static_cast<float>(height_) * boxRatio
                 ? static_cast<float>(boxHeight) / static_cast<float>(height_)
                 : static_cast<float>(boxWidth) / static_cast<float>(width_);
    scaledWidth = std::clamp(static_cast<int>(static_cast<float>(width_) * factor), 1, boxWidth);
    scaledHeight = std::clamp(static_cast<int>(static_cast<float>(height_) * factor), 1, boxHeight);
  }
  Image canvas;
  canvas.width_ = boxWidth;
  canvas.height_ = boxHeight;
  canvas.pixels_.assign(static_cast<std::size_t>(canvas.stride()) * boxHeight, 0);
  const std::uint8_t background[3] = {static_cast<std::uint8_t>(backgroundRgb),
                                      static_cast<std::uint8_t>(backgroundRgb >> 8),
                                      static_cast<std::uint8_t>(backgroundRgb >> 16)};
  for (int y = 0; y < boxHeight; ++y) {
    std::uint8_t* row = canvas.pixels_.data() + static_cast<std::size_t>(y) * canvas.stride();
    for (int x = 0; x < boxWidth; ++x) {
      std::copy_n(background, 3, row + 3 * x);
    }
  }
  const int offsetX = (boxWidth - scaledWidth) / 2;
  const int offsetY = (boxHeight - scaledHeight) / 2;
  // Bilinear: each target pixel samples the four source pixels around its centre.
  const double stepX = static_cast<double>(width_) / scaledWidth;
  const double stepY = static_cast<double>(height_) / scaledHeight;
  for (int y = 0; y < scaledHeight; ++y) {
    const double sy = std::clamp((y + 0.5) * stepY - 0.5, 0.0, height_ - 1.0);
    const int y0 = static_cast<int>(sy);
    const int y1 = std::min(y0 + 1, height_ - 1);
    const double fy = sy - y0;
    std::uint8_t* out = canvas.pixels_.data() +
                        static_cast<std::size_t>(y + offsetY) * canvas.stride() + 3 * offsetX;
    for (int x = 0; x < scaledWidth; ++x) {
      const double sx = std::clamp((x + 0.5) * stepX - 0.5, 0.0, width_ - 1.0);
      const int x0 = static_cast<int>(sx);
      const int x1 = std::min(x0 + 1, width_ - 1);
      const double fx = sx - x0;
      for (int c = 0; c < 3; ++c) {
        const double top = pixel(x0, y0)[c] * (1 - fx) + pixel(x1, y0)[c] * fx;
        const double bottom = pixel(x0, y1)[c] * (1 - fx) + pixel(x1, y1)[c] * fx;
        out[3 * x + c] = static_cast<std::uint8_t>(std::lround(top * (1 - fy) + bottom * fy));
      }
    }
  }
  *this = std::move(canvas);
  return true;
}

bool Image::SaveJpeg(const QString& path) const {
  if (empty()) {
    return false;
  }
  unsigned char* encoded = nullptr;
  unsigned long size = 0;
  const bool ok = Encode(pixels_, width_, height_, encoded, size);
  const bool written =
      ok &&
      WriteFileAtomically(path, std::span<const std::uint8_t>(encoded, size), false).isEmpty();
  std::free(encoded);
  return written;
}

}  // namespace trevalo
