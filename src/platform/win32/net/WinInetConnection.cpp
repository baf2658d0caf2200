#include "platform/win32/net/WinInetConnection.h"

#include <algorithm>
#include <string>

#include "platform/net/InternetSession.h"

namespace vialto::platform::net {
namespace {

DWORD Milliseconds(std::chrono::milliseconds ms) {
  return static_cast<DWORD>(std::clamp<int64_t>(ms.count(), 1, 0x7FFFFFFF));
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionA(handle, option, &ms, sizeof ms);
}

std::string WinInetText(DWORD error) {
  char text[512] = {};
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      GetModuleHandleA("wininet.dll"), error, 0, text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

WinInetConnection::WinInetConnection(const std::string& agent)
    : session_(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
  if (!session_) ThrowTransportFailure("internet session", GetLastError());
  ApplyTimeouts(session_.get());
}

void WinInetConnection::ApplyTimeouts(HINTERNET handle) const {
  const DWORD connect = Milliseconds(options_.connectTimeout);
  const DWORD stall = Milliseconds(options_.stallTimeout);
  SetTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, connect);
  SetTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, stall);
  SetTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, stall);
  SetTimeout(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, stall);
  SetTimeout(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, stall);
}

Outcome Classify(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return Outcome::kDone;
    case ERROR_INTERNET_LOGIN_FAILURE:
    case ERROR_INTERNET_INCORRECT_USER_NAME:
    case ERROR_INTERNET_INCORRECT_PASSWORD:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
      return Outcome::kRefused;
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
    case ERROR_INTERNET_INVALID_OPERATION:
      return Outcome::kMalformed;
    default:
      return Outcome::kTransportFailure;
  }
}

void ThrowTransportFailure(const char* what, DWORD error) {
  throw InternetError(std::string(what) + ": " + WinInetText(error));
}

}  // namespace vialto::platform::net
