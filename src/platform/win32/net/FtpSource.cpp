// The ftp stream: one logged-in control connection per source, a RETR that began at some offset
// (REST before it), and the bytes received so far. Reads pull from the data connection only as far
// as they need. Ahead of the stream a short gap is read through; behind it, or far ahead, the
// transfer starts again at the offset on a fresh connection (an aborted RETR leaves the control
// connection's replies out of step on some servers, a new login costs little).
#include "platform/win32/net/FtpSource.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "platform/net/InternetSession.h"
#include "platform/win32/net/WinInetConnection.h"

namespace vialto::platform::net {

namespace {

// A gap up to this size ahead of the stream is read through.
constexpr int64_t kSkipThrough = 1024 * 1024;
// Bytes already handed out that stay buffered, so that reading a sub-header or a frame again
// needs no new transfer.
constexpr int64_t kKeptBehind = 1024 * 1024;
constexpr DWORD kReadPiece = 64 * 1024;

struct FtpLocation {
  std::string host;
  INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT;
  std::string user;  // empty: anonymous
  std::string password;
  std::string path;  // as the server names the file
};

// Percent-escapes of the URL's path decoded, as the server expects plain names.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out.push_back(static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::optional<FtpLocation> Locate(const std::string& url) {
  char host[256] = {}, user[256] = {}, password[256] = {};
  std::vector<char> path(url.size() + 1, '\0');
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUserName = user;
  parts.dwUserNameLength = sizeof user;
  parts.lpszPassword = password;
  parts.dwPasswordLength = sizeof password;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
    return std::nullopt;
  if (parts.nScheme != INTERNET_SCHEME_FTP || host[0] == '\0') return std::nullopt;
  FtpLocation where;
  where.host = host;
  if (parts.nPort != 0) where.port = parts.nPort;
  where.user = Unescaped(user);
  where.password = Unescaped(password);
  where.path = Unescaped(path.data());
  if (where.path.empty() || where.path == "/") return std::nullopt;  // no file named
  return where;
}

// The server's last reply on this thread, as WinINet keeps it.
std::string LastReply() {
  DWORD code = 0;
  std::string text(1024, '\0');
  DWORD size = static_cast<DWORD>(text.size());
  if (!InternetGetLastResponseInfoA(&code, text.data(), &size)) return {};
  text.resize(std::min<std::size_t>(size, text.size()));
  return text;
}

// The reply code a reply text ends with: its last line that starts with three digits.
int ReplyCode(const std::string& reply) {
  int code = 0;
  std::size_t start = 0;
  while (start < reply.size()) {
    const std::size_t end = reply.find('\n', start);
    const std::string line =
        reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
        std::isdigit(static_cast<unsigned char>(line[1])) &&
        std::isdigit(static_cast<unsigned char>(line[2])))
      code = std::atoi(line.substr(0, 3).c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return code;
}

// Sends a command on the control connection; the reply's code, or 0 when nothing came back.
int Command(HINTERNET control, const std::string& command, std::string* reply = nullptr) {
  const BOOL sent =
      FtpCommandA(control, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr);
  const std::string text = LastReply();
  if (reply) *reply = text;
  const int code = ReplyCode(text);
  if (!sent && code == 0) ThrowTransportFailure("ftp", GetLastError());
  return code;
}

// Logs in; nothing when the server refuses the login. Throws when it cannot be reached.
InternetHandle Login(WinInetConnection& connection, const FtpLocation& where) {
  InternetHandle control(InternetConnectA(connection.session(), where.host.c_str(), where.port,
                                          where.user.empty() ? nullptr : where.user.c_str(),
                                          where.user.empty() ? nullptr : where.password.c_str(),
                                          INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
  if (!control) {
    const DWORD error = GetLastError();
    if (Classify(error) != Outcome::kTransportFailure) return {};
    ThrowTransportFailure("ftp", error);
  }
  connection.ApplyTimeouts(control.get());
  return control;
}

// SIZE in binary mode (servers refuse it in ASCII mode); -1 when the server gives none.
int64_t SizeOf(HINTERNET control, const std::string& path) {
  Command(control, "TYPE I");
  std::string reply;
  if (Command(control, "SIZE " + path, &reply) != 213) return -1;
  const std::size_t code = reply.rfind("213");
  long long size = -1;
  if (code == std::string::npos || std::sscanf(reply.c_str() + code + 3, " %lld", &size) != 1)
    return -1;
  return size;
}

class FtpSource final : public ByteSource {
 public:
  FtpSource(std::shared_ptr<WinInetConnection> connection, FtpLocation where, int64_t length,
            InternetHandle control)
      : connection_(std::move(connection)),
        where_(std::move(where)),
        length_(length),
        control_(std::move(control)) {}

  ~FtpSource() override { StopTransfer(); }

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
    auto* out = static_cast<uint8_t*>(buf);
    int64_t done = 0;
    // A transfer that broke is started again once per read: the server may have dropped a data
    // connection that sat idle between reads.
    bool restarted = false;
    while (done < wanted) {
      const int64_t at = pos + done;
      if (at >= bufferStart_ && at < StreamPos()) {
        const int64_t count = std::min(wanted - done, StreamPos() - at);
        std::memcpy(out + done, buffer_.data() + (at - bufferStart_), static_cast<size_t>(count));
        done += count;
        continue;
      }
      if (!file_ || at < bufferStart_ || at > StreamPos() + kSkipThrough) {
        if (ended_ && file_ && at >= StreamPos()) break;  // the file ended before its length
        StartTransfer(at);
      } else if (ended_) {
        break;  // the file ended before its measured length
      }
      if (!Receive(at)) {
        if (restarted) ThrowTransportFailure("ftp", broken_);
        restarted = true;
        StartTransfer(at);
      }
    }
    DropOldBytes();
    *got = static_cast<std::size_t>(done);
    return true;
  }

  int64_t StreamPos() const { return bufferStart_ + static_cast<int64_t>(buffer_.size()); }

  // A new RETR at `at` on a fresh login (REST first unless at the start).
  void StartTransfer(int64_t at) {
    StopTransfer();
    if (!control_) {
      control_ = Login(*connection_, where_);
      if (!control_) throw InternetError("ftp: the server refused a read of an open file");
    }
    connection_->CountRequest();
    if (at > 0) {
      Command(control_.get(), "TYPE I");
      if (Command(control_.get(), "REST " + std::to_string(at)) != 350)
        throw InternetError("ftp: the server cannot restart a transfer at an offset");
    }
    file_ = InternetHandle(FtpOpenFileA(control_.get(), where_.path.c_str(), GENERIC_READ,
                                        FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
    if (!file_) {
      const DWORD error = GetLastError();
      control_.Reset();
      ThrowTransportFailure("ftp", error);
    }
    buffer_.clear();
    bufferStart_ = at;
    ended_ = false;
  }

  // The data connection and the login it belongs to; the next transfer logs in afresh.
  void StopTransfer() {
    file_.Reset();
    control_.Reset();
  }

  // Receives one piece, dropping the bytes of a gap before `at`. False when the transfer broke.
  bool Receive(int64_t at) {
    std::vector<uint8_t> piece(kReadPiece);
    DWORD got = 0;
    if (!InternetReadFile(file_.get(), piece.data(), kReadPiece, &got)) {
      broken_ = GetLastError();
      return false;
    }
    if (got == 0) {
      ended_ = true;
      return true;
    }
    std::size_t skipped = 0;
    if (StreamPos() < at) {  // bytes of a gap the reader jumped over
      skipped = static_cast<std::size_t>(std::min<int64_t>(at - StreamPos(), got));
      bufferStart_ = StreamPos() + static_cast<int64_t>(skipped);
      buffer_.clear();
    }
    buffer_.insert(buffer_.end(), piece.begin() + static_cast<std::ptrdiff_t>(skipped),
                   piece.begin() + got);
    return true;
  }

  void DropOldBytes() {
    const int64_t keepFrom = StreamPos() - kKeptBehind;
    if (keepFrom - bufferStart_ < kKeptBehind) return;  // drop in large steps, not every read
    buffer_.erase(buffer_.begin(),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(keepFrom - bufferStart_));
    bufferStart_ = keepFrom;
  }

  std::shared_ptr<WinInetConnection> connection_;
  const FtpLocation where_;
  const int64_t length_;
  InternetHandle control_;
  InternetHandle file_;
  bool ended_ = false;
  DWORD broken_ = 0;
  // The stream's bytes [bufferStart_, StreamPos()) as received; the next byte is at StreamPos().
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFtp(std::shared_ptr<WinInetConnection> connection,
                                    const std::string& url) {
  std::optional<FtpLocation> where = Locate(url);
  if (!where) return nullptr;
  connection->CountRequest();
  InternetHandle control = Login(*connection, *where);
  if (!control) return nullptr;
  const int64_t length = SizeOf(control.get(), where->path);
  if (length < 0) return nullptr;  // no such file, or a server that will not say its size
  return std::make_unique<FtpSource>(std::move(connection), std::move(*where), length,
                                     std::move(control));
}

}  // namespace vialto::platform::net
