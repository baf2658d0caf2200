#include "FrameRecords.h"

#include "../Json.h"
#include "../Sequence.h"
#include "../SequenceFields.h"
#include "FramePictures.h"
#include "platform/UrlScheme.h"

namespace vialto::cli::view {
namespace {

void WriteFields(JsonWriter& json, const std::vector<NamedValue>& fields) {
  for (const NamedValue& f : fields) {
    if (f.isText) {
      json.Field(f.name, f.text);
    } else {
      json.Field(f.name, f.number);
    }
  }
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
  JsonWriter json;
  json.BeginObject()
      .Field("source", seq.Source())
      .Field("type", seq.TypeName())
      .Field("remote", seq.IsRemote())
      .Field("forward_only", IsFtp(seq))
      .Field("frame_count", static_cast<int>(info.wFrameCount))
      .Field("colour_mode", static_cast<int>(info.byColorMode))
      .Field("colour_mode2", static_cast<int>(info.byColorMode2));
  if (seq.FileLength() >= 0) {
    json.Field("length", seq.FileLength());
  } else {
    json.NullField("length");
  }
  json.BeginObject("info");
  WriteFields(json, seq.IsSe1() ? SerHeadInfoFields(seq.HeadInfo()) : SerInfoFields(info));
  json.EndObject().EndObject();
  return json.Text();
}

std::string FrameJson(Sequence& seq) {
  const FrameEntry frame = seq.Current();
  JsonWriter json;
  json.BeginObject()
      .Field("number", frame.number)
      .Field("time", FrameTimeText(frame.number))
      .Field("time_ms", static_cast<int64_t>(FrameSeconds(frame.number) * 1000 + 0.5))
      .Field("position", frame.position)
      .Field("length", frame.length)
      .Field("codec", frame.codec)
      .Field("width", frame.width)
      .Field("height", frame.height)
      .Field("colour", frame.colour)
      .Field("stored_jpeg_as_is", StoredJpegIsUpright(seq));
  if (seq.IsSe1()) {
    json.BeginObject("sub_header");
    WriteFields(json, SubHeadFields(seq.CurrentSubHead()));
    json.EndObject();
  } else {
    json.NullField("sub_header");
  }
  json.EndObject();
  return json.Text();
}

}  // namespace vialto::cli::view
