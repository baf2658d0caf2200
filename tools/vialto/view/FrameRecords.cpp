#include "FrameRecords.h"

#include "../JsonOutput.h"
#include "../Sequence.h"
#include "../SequenceFields.h"
#include "FramePictures.h"
#include "platform/UrlScheme.h"

namespace vialto::cli::view {
namespace {

nlohmann::ordered_json FieldsObject(const std::vector<NamedValue>& fields) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const NamedValue& f : fields) {
    if (f.isText) {
      object[f.name] = f.text;
    } else {
      object[f.name] = f.number;
    }
  }
  return object;
}

NamedValue Number(const char* name, int64_t value) { return NamedValue{name, value, "", false}; }
NamedValue Text(const char* name, const char* chars, size_t count) {
  return NamedValue{name, 0, PrintableChars(chars, count), true};
}

std::vector<NamedValue> SubHeadFields(const SubHeadInfo& s) {
  return {Text("chMark", s.chMark, sizeof s.chMark),
          Text("chCodec", s.chCodec, 3),
          Number("nFrameNo", s.nFrameNo),
          Number("nFrameLen", s.nFrameLen),
          Number("nPrevFrameLen", s.nPrevFrameLen),
          Number("wWidth", s.wWidth),
          Number("wHeight", s.wHeight),
          Number("byColorStatus", s.byColorStatus),
          Number("byVal1D", s.byVal1D),
          Number("byVal1E", s.byVal1E),
          Number("byVal1F", s.byVal1F),
          Number("byVal20", s.byVal20),
          Text("chVal21", s.chVal21, sizeof s.chVal21),
          Number("wVal2D", s.wVal2D),
          Number("wVal2F", s.wVal2F),
          Number("wVal31", s.wVal31),
          Number("wVal33", s.wVal33),
          Number("byVal35", s.byVal35),
          Number("wVal36", s.wVal36),
          Number("wVal38", s.wVal38),
          Number("wVal3A", s.wVal3A),
          Number("wVal3C", s.wVal3C)};
}

bool IsFtp(const Sequence& seq) {
  return platform::SchemeOf(seq.Source()) == platform::UrlScheme::kFtp;
}

}  // namespace

std::string InfoJson(Sequence& seq) {
  const SerInfo& info = seq.Info();
  nlohmann::ordered_json json;  // fields in the order written
  json["source"] = seq.Source();
  json["type"] = seq.TypeName();
  json["remote"] = seq.IsRemote();
  json["forward_only"] = IsFtp(seq);
  json["frame_count"] = static_cast<int>(info.wFrameCount);
  json["colour_mode"] = static_cast<int>(info.byColorMode);
  json["colour_mode2"] = static_cast<int>(info.byColorMode2);
  json["length"] = seq.FileLength() >= 0 ? nlohmann::ordered_json(seq.FileLength()) : nullptr;
  json["info"] =
      FieldsObject(seq.IsSe1() ? SerHeadInfoFields(seq.HeadInfo()) : SerInfoFields(info));
  return DumpJson(json);
}

std::string FrameJson(Sequence& seq) {
  const FrameEntry frame = seq.Current();
  nlohmann::ordered_json json;
  json["number"] = frame.number;
  json["time"] = FrameTimeText(frame.number);
  json["time_ms"] = static_cast<int64_t>(FrameSeconds(frame.number) * 1000 + 0.5);
  json["position"] = frame.position;
  json["length"] = frame.length;
  json["codec"] = frame.codec;
  json["width"] = frame.width;
  json["height"] = frame.height;
  json["colour"] = frame.colour;
  json["stored_jpeg_as_is"] = StoredJpegIsUpright(seq);
  json["sub_header"] =
      seq.IsSe1() ? FieldsObject(SubHeadFields(seq.CurrentSubHead())) : nlohmann::ordered_json();
  return DumpJson(json);
}

}  // namespace vialto::cli::view
