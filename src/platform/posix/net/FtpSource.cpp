#include "platform/posix/net/FtpSource.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/net/InternetSession.h"
#include "platform/posix/net/CurlConnection.h"

namespace vialto::platform::net {

namespace {

// A gap up to this size ahead of the stream is read through; beyond it a new transfer at the
// offset costs less than the bytes in between.
constexpr int64_t kSkipThrough = 1024 * 1024;
// Bytes already handed out that stay buffered, so that reading a sub-header or a frame again
// needs no new transfer.
constexpr int64_t kKeptBehind = 1024 * 1024;
// The transfer is paused once this much is buffered beyond the last read's end.
constexpr int64_t kAheadLimit = 1024 * 1024;

class FtpSource final : public ByteSource, private TransferHolder {
 public:
  FtpSource(std::shared_ptr<CurlConnection> connection, std::string url, int64_t length)
      : connection_(std::move(connection)), url_(std::move(url)), length_(length) {
    multi_ = curl_multi_init();
    if (!multi_) throw std::bad_alloc();
  }

  ~FtpSource() override {
    StopTransfer();
    curl_multi_cleanup(multi_);
  }

  int64_t Length() const override { return length_; }

  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override {
    try {
      return ReadStream(pos, buf, n, got);
    } catch (const std::bad_alloc&) {
      throw InternetError("ftp: out of memory for the transfer");
    }
  }

 private:
  bool ReadStream(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
    *got = 0;
    if (pos < 0) return false;
    if (pos >= length_) return true;
    const int64_t wanted = std::min<int64_t>(static_cast<int64_t>(n), length_ - pos);
    readEnd_ = pos + wanted;
    auto* out = static_cast<uint8_t*>(buf);
    int64_t done = 0;
    // A transfer that broke is started again once per read: the server may have dropped a data
    // connection that sat paused between reads.
    bool started = false;
    while (done < wanted) {
      const int64_t at = pos + done;
      if (at >= bufferStart_ && at < StreamPos()) {
        const int64_t count = std::min(wanted - done, StreamPos() - at);
        std::memcpy(out + done, buffer_.data() + (at - bufferStart_), static_cast<size_t>(count));
        done += count;
        continue;
      }
      const bool broken = active_ && finished_ && result_ != CURLE_OK;
      if (broken && started) ThrowTransportFailure("ftp", result_);
      if (!active_ || broken || at < bufferStart_ || at > StreamPos() + kSkipThrough) {
        StartTransfer(at);
        started = true;
      } else if (finished_) {
        break;  // the file ended before its measured length
      }
      skipTo_ = at;
      Pump();
    }
    DropOldBytes();
    *got = static_cast<std::size_t>(done);
    return true;
  }

  int64_t StreamPos() const { return bufferStart_ + static_cast<int64_t>(buffer_.size()); }

  void StartTransfer(int64_t at) {
    StopTransfer();
    CURL* h = connection_->Prepare(url_, this);
    curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(at));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &FtpSource::DataThunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    buffer_.clear();
    bufferStart_ = at;
    skipTo_ = at;
    finished_ = false;
    paused_ = false;
    result_ = CURLE_OK;
    if (curl_multi_add_handle(multi_, h) != CURLM_OK) {
      connection_->Release(this);
      throw InternetError("ftp: cannot start a transfer");
    }
    handle_ = h;
    active_ = true;
  }

  void StopTransfer() {
    if (!active_) return;
    curl_multi_remove_handle(multi_, handle_);
    connection_->Release(this);
    active_ = false;
    handle_ = nullptr;
  }

  // Another transfer needs the handle: the buffered bytes stay good, the stream restarts later.
  void LetGo() override {
    if (!active_) return;
    curl_multi_remove_handle(multi_, handle_);
    active_ = false;
    handle_ = nullptr;
  }

  // Drives the transfer until more bytes arrive or it ends.
  void Pump() {
    const int64_t before = StreamPos();
    connection_->RestartStallClock();
    if (paused_) {
      paused_ = false;
      curl_easy_pause(handle_, CURLPAUSE_CONT);  // may deliver the held-back bytes at once
    }
    while (!finished_ && StreamPos() == before) {
      int running = 0;
      if (curl_multi_perform(multi_, &running) != CURLM_OK)
        throw InternetError("ftp: transfer failed");
      CollectResult();
      if (finished_ || StreamPos() != before || paused_) break;
      curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
  }

  void CollectResult() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == handle_) {
        finished_ = true;
        result_ = msg->data.result;
      }
  }

  static size_t DataThunk(char* data, size_t size, size_t n, void* self) {
    return static_cast<FtpSource*>(self)->OnData(data, size * n);
  }

  size_t OnData(const char* data, size_t size) {
    if (StreamPos() - readEnd_ >= kAheadLimit) {
      paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    size_t skipped = 0;
    if (StreamPos() < skipTo_) {  // bytes of a gap the reader jumped over
      skipped =
          static_cast<size_t>(std::min<int64_t>(skipTo_ - StreamPos(), static_cast<int64_t>(size)));
      bufferStart_ = StreamPos() + static_cast<int64_t>(skipped);
      buffer_.clear();
    }
    buffer_.insert(buffer_.end(), data + skipped, data + size);
    return size;
  }

  void DropOldBytes() {
    const int64_t keepFrom = std::min(readEnd_, StreamPos()) - kKeptBehind;
    if (keepFrom - bufferStart_ < kKeptBehind) return;  // drop in large steps, not every read
    buffer_.erase(buffer_.begin(),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(keepFrom - bufferStart_));
    bufferStart_ = keepFrom;
  }

  std::shared_ptr<CurlConnection> connection_;
  const std::string url_;
  const int64_t length_;
  CURLM* multi_ = nullptr;
  CURL* handle_ = nullptr;
  bool active_ = false;
  bool finished_ = false;
  bool paused_ = false;
  CURLcode result_ = CURLE_OK;
  // The stream's bytes [bufferStart_, StreamPos()) as received; the next byte is at StreamPos().
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;
  int64_t skipTo_ = 0;
  int64_t readEnd_ = 0;
};

size_t DiscardBytes(char*, size_t size, size_t n, void*) { return size * n; }

}  // namespace

std::unique_ptr<ByteSource> OpenFtp(std::shared_ptr<CurlConnection> connection,
                                    const std::string& url) {
  CURL* h = connection->Prepare(url, nullptr);
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_FILETIME, 1L);
  // With no body libcurl reports the size and date as header lines through the write callback.
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DiscardBytes);
  const CURLcode code = curl_easy_perform(h);
  switch (Classify(code)) {
    case Outcome::kDone:
      break;
    case Outcome::kRefused:
    case Outcome::kMalformed:
      return nullptr;
    case Outcome::kTransportFailure:
      ThrowTransportFailure("ftp", code);
  }
  curl_off_t length = -1;
  curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (length < 0) return nullptr;
  return std::make_unique<FtpSource>(std::move(connection), url, static_cast<int64_t>(length));
}

}  // namespace vialto::platform::net
