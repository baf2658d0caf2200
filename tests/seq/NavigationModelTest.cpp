// Model-based check of navigation and stored frame bytes: random files, random operation
// sequences, and after every step the decoder is compared with a plain list-of-frames model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::Se1Frame;
using vialto::test::Se1Sample;
using vialto::test::SerSample;
using vialto::test::TempDir;

// What a host should see: the current frame number, its position, its sub-header and its bytes.
struct ModelFrame {
  int64_t pos;
  Bytes subHead;  // "se1" only
  Bytes data;     // the stored frame data, zero past the end of the file
  bool whole;     // the file holds all of it; a cut frame fails the read
};

struct Model {
  bool se1 = false;
  std::vector<ModelFrame> frames;
  int current = 0;
  int frameNo = 0;  // "ser" clamping can leave the number apart from the frame at `current`

  int Last() const { return static_cast<int>(frames.size()) - 1; }
};

bool Inside(const Bytes& file, int64_t pos, int64_t n) {
  return pos + n <= static_cast<int64_t>(file.size());
}

Bytes Slice(const Bytes& file, int64_t pos, int64_t n) {
  Bytes out(static_cast<std::size_t>(n), 0);
  for (int64_t i = 0; i < n && pos + i < static_cast<int64_t>(file.size()); ++i)
    out[static_cast<std::size_t>(i)] = file[static_cast<std::size_t>(pos + i)];
  return out;
}

Model Se1Model(const Se1Sample& sample, const Bytes& file) {
  Model m;
  m.se1 = true;
  const auto positions = sample.Positions();
  const auto lengths = sample.Lengths();
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (positions[i] + 64 > static_cast<int64_t>(file.size())) break;  // cut away
    m.frames.push_back({positions[i], Slice(file, positions[i], 64),
                        Slice(file, positions[i] + 64, lengths[i] - 64),
                        Inside(file, positions[i] + 64, lengths[i] - 64)});
  }
  return m;
}

Model SerModel(const SerSample& sample, const Bytes& file) {
  Model m;
  for (int i = 0; i < sample.FrameCount(); ++i)
    m.frames.push_back({sample.FramePosition(i),
                        {},
                        Slice(file, sample.FramePosition(i), sample.FrameLength(i)),
                        true});
  return m;
}

// The model's answer for each operation; it changes the model and returns the expected result.
int ModelMoveFirst(Model& m) {
  m.current = m.frameNo = 0;
  return 1;
}

int ModelMoveEnd(Model& m) {
  m.current = m.frameNo = m.Last();
  return 1;
}

int ModelStep(Model& m, int delta) {
  if (m.se1) {
    if (delta != 1 && delta != -1) return 0;
    if (delta == 1 && m.current == m.Last()) return 0;
    if (delta == -1 && m.current == 0) return 0;
    m.current += delta;
    m.frameNo = m.current;
    return 1;
  }
  const int n = m.frameNo + delta;
  if (n > m.Last()) return m.frameNo = m.Last(), 0;
  if (n < 0) return m.frameNo = 0, 0;
  m.current = m.frameNo = n;
  return 1;
}

int ModelMoveTo(Model& m, int n) {
  if (n < 0) {
    if (m.se1) return ModelMoveFirst(m);
    m.current = m.frameNo = 0;
    return 0;
  }
  m.current = m.frameNo = std::min(n, m.Last());
  return 1;
}

class Checker {
 public:
  Checker(CSerFileDecode* d, Model& m) : d_(d), m_(m) {}

  void Apply(int op, int arg) {
    int expected = 0, actual = 0;
    switch (op) {
      case 0:
        expected = ModelMoveFirst(m_), actual = Ser_MoveFirst(d_);
        break;
      case 1:
        expected = ModelMoveEnd(m_), actual = Ser_MoveEnd(d_);
        break;
      case 2:
        expected = ModelStep(m_, +1), actual = Ser_MoveCurrentFrameNo(d_, +1);
        break;
      case 3:
        expected = ModelStep(m_, -1), actual = Ser_MoveCurrentFrameNo(d_, -1);
        break;
      case 4:
        expected = ModelStep(m_, arg), actual = Ser_MoveCurrentFrameNo(d_, arg);
        break;
      default:
        expected = ModelMoveTo(m_, arg), actual = Ser_MoveTo(d_, arg);
        break;
    }
    ++steps_;
    ASSERT_EQ(actual, expected) << Where(op, arg);
    Compare(op, arg);
  }

  int steps() const { return steps_; }

 private:
  std::string Where(int op, int arg) const {
    return "op " + std::to_string(op) + " arg " + std::to_string(arg) + " at step " +
           std::to_string(steps_) + ", model frame " + std::to_string(m_.current);
  }

  void Compare(int op, int arg) {
    const ModelFrame& f = m_.frames[static_cast<std::size_t>(m_.current)];
    ASSERT_EQ(Ser_GetCurrentFrameNo(d_), m_.frameNo) << Where(op, arg);
    ASSERT_EQ(Ser_GetCurrentFramePos(d_), f.pos) << Where(op, arg);
    if (m_.se1) {
      Bytes sub(64);
      ASSERT_EQ(Ser_GetCurrentSubHeadInfo(d_, sub.data()), 64);
      ASSERT_EQ(sub, f.subHead) << Where(op, arg);
    }
    if (!m_.se1 && m_.frameNo != m_.current) return;  // number and position apart: no fetch
    ASSERT_EQ(Ser_GetCurrentFrameDataLength(d_), static_cast<int>(f.data.size()));
    Bytes data(f.data.size(), 0xEE);
    ASSERT_EQ(Ser_GetCurrentFrameData(d_, data.data(), static_cast<int>(data.size())),
              f.whole ? 1 : 0)
        << Where(op, arg);
    ASSERT_EQ(data, f.data) << Where(op, arg);  // a cut frame's missing bytes read as zeros
  }

  CSerFileDecode* d_;
  Model& m_;
  int steps_ = 0;
};

Se1Sample RandomSe1(std::mt19937& rng) {
  Se1Sample sample;
  const int frames = 1 + static_cast<int>(rng() % 40);
  sample.HeadLength(128 + 64 * static_cast<uint32_t>(rng() % 4));
  for (int i = 0; i < frames; ++i) {
    Se1Frame f;
    f.width = 16 + 8 * static_cast<int>(rng() % 4);
    f.height = 8 + 8 * static_cast<int>(rng() % 3);
    f.greyPicture = rng() % 4 == 0;
    f.codec = rng() % 2 ? "JPG" : "JPE";
    f.padding = static_cast<int64_t>(rng() % 700);
    sample.AddFrame(f);
  }
  return sample;
}

int RunSequences(const std::string& path, Model& model, std::mt19937& rng, int sequences) {
  int steps = 0;
  for (int s = 0; s < sequences; ++s) {
    CSerFileDecode* d = Ser_CreateSerFileDecode();
    EXPECT_EQ(Ser_SetSerFileName(d, path.c_str()), 1);
    model.current = model.frameNo = 0;
    Checker checker(d, model);
    const int count = static_cast<int>(model.frames.size());
    for (int i = 0; i < 25 && !::testing::Test::HasFatalFailure(); ++i) {
      const int op = static_cast<int>(rng() % 6);
      const int arg = static_cast<int>(rng() % (2 * count + 6)) - count / 2 - 3;
      checker.Apply(op, arg);
    }
    steps += checker.steps();
    Ser_FinishSerFileDecode(d);
    if (::testing::Test::HasFatalFailure()) break;
  }
  return steps;
}

TEST(NavigationModel, Se1FilesFollowTheFrameListModel) {
  TempDir dir;
  std::mt19937 rng(20261209);
  int sequences = 0, steps = 0;
  for (int file = 0; file < 120 && !HasFatalFailure(); ++file) {
    Se1Sample sample = RandomSe1(rng);
    // Some files end inside the last frame's data: the read then fails.
    if (rng() % 5 == 0) {
      const int64_t lastData = sample.Positions().back() + 64;
      sample.Truncate(
          std::min(sample.FileLength() - 1, lastData + static_cast<int64_t>(rng() % 200)));
    }
    const std::string path = dir.File("model" + std::to_string(file) + ".se1");
    sample.Write(path);
    Model model = Se1Model(sample, vialto::test::ReadFile(path));
    steps += RunSequences(path, model, rng, 10);
    sequences += 10;
  }
  RecordProperty("sequences", sequences);
  RecordProperty("steps", steps);
  EXPECT_GE(sequences, 1000);
}

TEST(NavigationModel, SerFilesFollowTheFrameListModel) {
  TempDir dir;
  std::mt19937 rng(7);
  int sequences = 0;
  for (int file = 0; file < 12 && !HasFatalFailure(); ++file) {
    SerSample sample;
    const uint8_t mode = rng() % 2 ? 1 : 2;
    sample.Frames(1 + static_cast<int>(rng() % 6)).Modes(mode, mode);
    const std::string path = dir.File("model" + std::to_string(file) + ".ser");
    sample.Write(path);
    Model model = SerModel(sample, vialto::test::ReadFile(path));
    RunSequences(path, model, rng, 100);
    sequences += 100;
  }
  EXPECT_GE(sequences, 1000);
}

}  // namespace
