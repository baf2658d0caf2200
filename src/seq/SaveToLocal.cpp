// Ser_SaveToLocal: copies the decoder's whole source, from its first byte, to a local file.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/Alloc.h"
#include "platform/ExportBoundary.h"
#include "platform/LocalFile.h"
#include "seq/SerFileDecode.h"

using vialto::platform::FileWriter;
using vialto::platform::InternetError;

namespace {

constexpr std::size_t kBlockBytes = 0x10000;

struct FreeBlock {
  void operator()(void* p) const { vialto::platform::FreeBytes(p); }
};

// Copies m_nFileLength bytes in blocks; false when the source ends early or fails, or a write
// fails. Throws InternetError as the remote reads do.
bool CopySource(CSerFileDecode& d, FileWriter& out, unsigned char* block) {
  for (int64_t pos = 0; pos < d.m_nFileLength;) {
    const std::size_t n = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(kBlockBytes), d.m_nFileLength - pos));
    std::size_t got = 0;
    if (!d.ReadSource(pos, block, n, &got) || got != n) return false;
    if (!out.Write(block, n)) return false;
    pos += static_cast<int64_t>(n);
  }
  return true;
}

int SaveToLocal(CSerFileDecode& d, const char* path) {
  // Nothing to copy: leave an existing file at path alone.
  if (!path || !d.m_pFile || !d.m_bOpen) return 0;
  // Saving a local source onto its own file would empty it before it is read.
  if (d.m_nSourceKind == vialto::seq::kLocal && vialto::platform::IsSameFile(path, d.m_szFileName))
    return 0;
  std::unique_ptr<unsigned char, FreeBlock> block(
      static_cast<unsigned char*>(vialto::platform::AllocBytes(kBlockBytes)));
  if (!block) return 0;
  // The local copy: created, or emptied when it exists; closed on every path.
  const std::unique_ptr<FileWriter> out = vialto::platform::CreateFileForWriting(path);
  if (!out) return 0;
  bool copied = false;
  try {
    copied = CopySource(d, *out, block.get());
  } catch (const InternetError&) {
    copied = false;  // what was written stays; the message goes nowhere
  }
  return out->Close() && copied ? 1 : 0;
}

}  // namespace

extern "C" VIALTO_API int VIALTO_CALL Ser_SaveToLocal(CSerFileDecode* decoder, const char* path,
                                                      int /*unused*/) {
  return vialto::platform::GuardExport(0,
                                       [&] { return decoder ? SaveToLocal(*decoder, path) : 0; });
}
