// Picture files: PNG (libpng), PGM/PPM (binary netpbm) and JPEG (the library's codec), plus
// whole-file byte I/O. Every failure is a CommandError naming the file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Picture.h"

namespace vialto::cli {

enum class ImageFormat { kJpeg, kPng, kPgm, kPpm };

// By the file name's extension (.jpg/.jpeg, .png, .pgm, .ppm); throws UsageError otherwise.
ImageFormat FormatFromName(const std::string& path);
const char* ExtensionOf(ImageFormat format);

// Reads a JPEG, PNG, PGM or PPM file, recognised by its first bytes.
Picture ReadImage(const std::string& path);
// Writes the picture in the given format; JPEG at the given quality.
void WriteImage(const std::string& path, const Picture& picture, ImageFormat format,
                int jpegQuality = 90);

// The library's JPEG codec on whole pictures.
std::vector<uint8_t> EncodeJpeg(const Picture& picture, int quality);
// Throws CommandError naming `what` when the stream does not decode.
Picture DecodeJpeg(const std::vector<uint8_t>& stream, const std::string& what);
bool IsJpeg(const std::vector<uint8_t>& bytes);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const uint8_t* data, size_t size);
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(path, bytes.data(), bytes.size());
}

}  // namespace vialto::cli
