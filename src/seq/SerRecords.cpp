#include "seq/SerRecords.h"

#include <cstring>

#include "platform/ExportBoundary.h"

namespace vialto::seq {
namespace {

// One field: where it sits on disk, where in the record, and how many bytes it has. The codecs
// copy bytes unchanged, so values keep their little-endian form.
struct Field {
  std::size_t disk;
  std::size_t record;
  std::size_t size;
};

#define VIALTO_FIELD(rec, name, disk) \
  Field { disk, offsetof(rec, name), sizeof(rec::name) }

constexpr Field kInfoFields[] = {
    VIALTO_FIELD(SerInfo, chSign, 0),        VIALTO_FIELD(SerInfo, wVal03, 3),
    VIALTO_FIELD(SerInfo, wFrameCount, 5),   VIALTO_FIELD(SerInfo, wVal07, 7),
    VIALTO_FIELD(SerInfo, wVal09, 9),        VIALTO_FIELD(SerInfo, byColorMode, 11),
    VIALTO_FIELD(SerInfo, byVal0C, 12),      VIALTO_FIELD(SerInfo, byVal0D, 13),
    VIALTO_FIELD(SerInfo, byVal0E, 14),      VIALTO_FIELD(SerInfo, wVal0F, 15),
    VIALTO_FIELD(SerInfo, byVal11, 17),      VIALTO_FIELD(SerInfo, byVal12, 18),
    VIALTO_FIELD(SerInfo, dwVal13, 19),      VIALTO_FIELD(SerInfo, byVal17, 23),
    VIALTO_FIELD(SerInfo, byColorMode2, 24), VIALTO_FIELD(SerInfo, byVal19, 25),
    VIALTO_FIELD(SerInfo, byVal1A, 26),      VIALTO_FIELD(SerInfo, byVal1B, 27),
    VIALTO_FIELD(SerInfo, byVal1C, 28),      VIALTO_FIELD(SerInfo, wVal1D, 29),
    VIALTO_FIELD(SerInfo, wVal1F, 31),       VIALTO_FIELD(SerInfo, wVal21, 33),
    VIALTO_FIELD(SerInfo, byVal23, 35),      VIALTO_FIELD(SerInfo, byVal24, 36),
    VIALTO_FIELD(SerInfo, byVal25, 37),      VIALTO_FIELD(SerInfo, byVal26, 38),
    VIALTO_FIELD(SerInfo, wVal27, 39),       VIALTO_FIELD(SerInfo, byVal29, 41),
    VIALTO_FIELD(SerInfo, wVal2A, 42),       VIALTO_FIELD(SerInfo, wVal2C, 44),
    VIALTO_FIELD(SerInfo, wVal2E, 46),
};

constexpr Field kHeadFields[] = {
    VIALTO_FIELD(SerHeadInfo, dwHeadLen, 64),
    VIALTO_FIELD(SerHeadInfo, byVal44, 68),
    VIALTO_FIELD(SerHeadInfo, wVal45, 69),
};

constexpr Field kSubHeadFields[] = {
    VIALTO_FIELD(SubHeadInfo, chMark, 0),         VIALTO_FIELD(SubHeadInfo, chCodec, 8),
    VIALTO_FIELD(SubHeadInfo, nFrameNo, 12),      VIALTO_FIELD(SubHeadInfo, nFrameLen, 16),
    VIALTO_FIELD(SubHeadInfo, nPrevFrameLen, 20), VIALTO_FIELD(SubHeadInfo, wWidth, 24),
    VIALTO_FIELD(SubHeadInfo, wHeight, 26),       VIALTO_FIELD(SubHeadInfo, byColorStatus, 28),
    VIALTO_FIELD(SubHeadInfo, byVal1D, 29),       VIALTO_FIELD(SubHeadInfo, byVal1E, 30),
    VIALTO_FIELD(SubHeadInfo, byVal1F, 31),       VIALTO_FIELD(SubHeadInfo, byVal20, 32),
    VIALTO_FIELD(SubHeadInfo, chVal21, 33),       VIALTO_FIELD(SubHeadInfo, wVal2D, 45),
    VIALTO_FIELD(SubHeadInfo, wVal2F, 47),        VIALTO_FIELD(SubHeadInfo, wVal31, 49),
    VIALTO_FIELD(SubHeadInfo, wVal33, 51),        VIALTO_FIELD(SubHeadInfo, byVal35, 53),
    VIALTO_FIELD(SubHeadInfo, wVal36, 54),        VIALTO_FIELD(SubHeadInfo, wVal38, 56),
    VIALTO_FIELD(SubHeadInfo, wVal3A, 58),        VIALTO_FIELD(SubHeadInfo, wVal3C, 60),
};

#undef VIALTO_FIELD

template <std::size_t N>
void Decode(const Field (&fields)[N], const void* disk, void* record) {
  for (const Field& f : fields)
    std::memcpy(static_cast<unsigned char*>(record) + f.record,
                static_cast<const unsigned char*>(disk) + f.disk, f.size);
}

template <std::size_t N>
void Encode(const Field (&fields)[N], const void* record, void* disk) {
  for (const Field& f : fields)
    std::memcpy(static_cast<unsigned char*>(disk) + f.disk,
                static_cast<const unsigned char*>(record) + f.record, f.size);
}

}  // namespace
}  // namespace vialto::seq

using namespace vialto::seq;
using vialto::platform::GuardExport;

extern "C" {

VIALTO_API void VIALTO_CALL Ser_BufToSerInfo(const void* buf, SerInfo* info) {
  GuardExport([&] {
    std::memset(info, 0, sizeof *info);
    Decode(kInfoFields, buf, info);
  });
}

VIALTO_API void VIALTO_CALL Ser_BufToSerHeadInfo(const void* buf, SerHeadInfo* info) {
  GuardExport([&] {
    // byExtra and the gap byte are the caller's: only the SerInfo part is cleared.
    Ser_BufToSerInfo(buf, &info->info);
    Decode(kHeadFields, buf, info);
  });
}

VIALTO_API void VIALTO_CALL Ser_BufToSubHeadInfo(const void* buf, SubHeadInfo* info) {
  GuardExport([&] {
    std::memset(info, 0, sizeof *info);
    Decode(kSubHeadFields, buf, info);
  });
}

VIALTO_API void VIALTO_CALL Ser_SerInfoToBuf(const SerInfo* info, void* buf, uint32_t len) {
  GuardExport([&] {
    std::memset(buf, 0, len);
    Encode(kInfoFields, info, buf);
  });
}

VIALTO_API void VIALTO_CALL Ser_SerHeadInfoToBuf(const SerHeadInfo* info, void* buf, uint32_t len) {
  GuardExport([&] {
    std::memset(buf, 0, len);
    Ser_SerInfoToBuf(&info->info, buf, len);
    Encode(kHeadFields, info, buf);
  });
}

VIALTO_API void VIALTO_CALL Ser_SubHeadInfoToBuf(const SubHeadInfo* info, void* buf) {
  GuardExport([&] {
    std::memset(buf, 0, kSubHeadBytes);
    Encode(kSubHeadFields, info, buf);
  });
}

}  // extern "C"
