#include "ImageFiles.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "Args.h"
#include "vialto/vialto.h"

namespace vialto::cli {
namespace {

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string SystemError() { return std::strerror(errno); }

// --- netpbm ----------------------------------------------------------------------------------

// Reads the next header number, skipping white space and comments.
bool ReadPnmNumber(const std::vector<uint8_t>& bytes, size_t* pos, int* value) {
  while (*pos < bytes.size()) {
    const char c = static_cast<char>(bytes[*pos]);
    if (c == '#') {
      while (*pos < bytes.size() && bytes[*pos] != '\n') ++*pos;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++*pos;
    } else {
      break;
    }
  }
  long number = 0;
  const size_t start = *pos;
  while (*pos < bytes.size() && std::isdigit(bytes[*pos]) && number <= 100000) {
    number = number * 10 + (bytes[(*pos)++] - '0');
  }
  *value = static_cast<int>(number);
  return *pos > start && number <= 100000;
}

Picture DecodePnm(const std::vector<uint8_t>& bytes, const std::string& path) {
  const int channels = bytes[1] == '6' ? 3 : 1;
  size_t pos = 2;
  int width = 0, height = 0, maxValue = 0;
  if (!ReadPnmNumber(bytes, &pos, &width) || !ReadPnmNumber(bytes, &pos, &height) ||
      !ReadPnmNumber(bytes, &pos, &maxValue) || width < 1 || height < 1 || maxValue != 255 ||
      pos >= bytes.size() || !std::isspace(bytes[pos])) {
    throw CommandError(path + ": not a binary 8-bit PGM/PPM file");
  }
  ++pos;  // the single white-space byte before the raster
  const size_t size = static_cast<size_t>(width) * height * channels;
  if (bytes.size() - pos < size) throw CommandError(path + ": PGM/PPM raster is cut short");
  Picture picture{width, height, channels, {}};
  picture.pixels.assign(bytes.begin() + static_cast<ptrdiff_t>(pos),
                        bytes.begin() + static_cast<ptrdiff_t>(pos + size));
  return picture;
}

void WritePnm(const std::string& path, const Picture& picture, int channels) {
  const Picture converted = channels == picture.channels ? Picture{}
                            : channels == 1              ? ToGrey(picture)
                                                         : WidenToRgb(picture);
  const Picture* out = channels == picture.channels ? &picture : &converted;
  const std::string header = std::string(channels == 3 ? "P6" : "P5") + "\n" +
                             std::to_string(out->width) + " " + std::to_string(out->height) +
                             "\n255\n";
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), out->pixels.begin(), out->pixels.end());
  WriteBytes(path, bytes);
}

// --- PNG -------------------------------------------------------------------------------------

Picture DecodePng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    throw CommandError(path + ": not a readable PNG file (" + image.message + ")");
  }
  const bool grey = (image.format & PNG_FORMAT_FLAG_COLOR) == 0;
  image.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;  // alpha is composited on black
  Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), grey ? 1 : 3, {}};
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  png_color black{0, 0, 0};
  if (!png_image_finish_read(&image, &black, picture.pixels.data(), 0, nullptr)) {
    const std::string message = image.message;
    png_image_free(&image);
    throw CommandError(path + ": PNG decoding failed (" + message + ")");
  }
  return picture;
}

void WritePng(const std::string& path, const Picture& picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = picture.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  if (!png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr)) {
    throw CommandError(path + ": cannot write PNG (" + image.message + ")");
  }
}

}  // namespace

ImageFormat FormatFromName(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "jpg" || ext == "jpeg") return ImageFormat::kJpeg;
  if (ext == "png") return ImageFormat::kPng;
  if (ext == "pgm") return ImageFormat::kPgm;
  if (ext == "ppm") return ImageFormat::kPpm;
  throw UsageError(path + ": unknown picture type (use .jpg, .png, .pgm or .ppm)");
}

const char* ExtensionOf(ImageFormat format) {
  switch (format) {
    case ImageFormat::kJpeg:
      return "jpg";
    case ImageFormat::kPng:
      return "png";
    case ImageFormat::kPgm:
      return "pgm";
    case ImageFormat::kPpm:
      return "ppm";
  }
  return "";
}

bool IsJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Picture ReadImage(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  if (IsJpeg(bytes)) return DecodeJpeg(bytes, path);
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin())) {
    return DecodePng(path);
  }
  if (bytes.size() >= 3 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6')) {
    return DecodePnm(bytes, path);
  }
  throw CommandError(path + ": not a JPEG, PNG, PGM or PPM picture");
}

void WriteImage(const std::string& path, const Picture& picture, ImageFormat format,
                int jpegQuality) {
  switch (format) {
    case ImageFormat::kJpeg:
      WriteBytes(path, EncodeJpeg(picture, jpegQuality));
      return;
    case ImageFormat::kPng:
      WritePng(path, picture);
      return;
    case ImageFormat::kPgm:
      WritePnm(path, picture, 1);
      return;
    case ImageFormat::kPpm:
      WritePnm(path, picture, 3);
      return;
  }
}

std::vector<uint8_t> EncodeJpeg(const Picture& picture, int quality) {
  uint32_t length = 0;
  unsigned char* stream = RGBToJpeg(picture.pixels.data(), picture.width, picture.height,
                                    picture.channels == 3 ? 24 : 8, quality, &length);
  if (!stream) {
    throw CommandError("the library's JPEG encoder failed on a " + std::to_string(picture.width) +
                       " x " + std::to_string(picture.height) + " picture (RGBToJpeg)");
  }
  std::vector<uint8_t> bytes(stream, stream + length);
  Ser_DeleteRGBToJpegBuf(stream);
  return bytes;
}

Picture DecodeJpeg(const std::vector<uint8_t>& stream, const std::string& what) {
  uint32_t width = 0, height = 0;
  int depth = 0;
  unsigned char* pixels =
      JpegToRGB(stream.data(), static_cast<int>(stream.size()), &width, &height, &depth);
  if (!pixels) throw CommandError(what + ": the library could not decode the JPEG (JpegToRGB)");
  const int channels = depth == 8 ? 1 : 3;
  Picture picture{static_cast<int>(width), static_cast<int>(height), channels, {}};
  picture.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height * channels);
  Ser_DeleteJpegToRGBBuf(pixels);
  return picture;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError(path + ": " + SystemError());
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw CommandError(path + ": read error");
  return bytes;
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw CommandError("cannot create " + path + ": " + SystemError());
  if (size && std::fwrite(data, 1, size, file.get()) != size) {
    throw CommandError("cannot write " + path + ": " + SystemError());
  }
  if (std::fclose(file.release()) != 0) {
    throw CommandError("cannot write " + path + ": " + SystemError());
  }
}

}  // namespace vialto::cli
