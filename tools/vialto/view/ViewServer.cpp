#include "ViewServer.h"

#include <httplib.h>
#include <sys/socket.h>

#include <functional>

#include "../Args.h"
#include "FrameStore.h"
#include "HostCheck.h"
#include "HttpError.h"
#include "PageAssets.h"
#include "RequestParse.h"

namespace vialto::cli::view {
namespace {

// Long enough to keep a browser's connection between key presses; short enough that Stop
// does not wait long for idle connections.
constexpr time_t kKeepAliveSeconds = 2;
constexpr size_t kKeepAliveRequests = 100000;
constexpr size_t kMaxRequestBody = 4096;
constexpr char kPageSecurity[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; "
    "connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'";

void Send(httplib::Response& res, const SharedBlob& blob, bool cacheable) {
  res.set_content(blob->bytes, blob->type.c_str());
  res.set_header("Cache-Control", cacheable ? "private, max-age=3600" : "no-store");
}

void SendError(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_content(reason + "\n", "text/plain; charset=utf-8");
  res.set_header("Cache-Control", "no-store");
}

// Runs a handler and turns its HttpError into the answer.
httplib::Server::Handler Guarded(
    std::function<void(const httplib::Request&, httplib::Response&)> body) {
  return [body = std::move(body)](const httplib::Request& req, httplib::Response& res) {
    try {
      body(req, res);
    } catch (const HttpError& e) {
      SendError(res, e.Status(), e.what());
    }
  };
}

PictureFormat FormatOf(const std::string& extension) {
  if (extension == "png") return PictureFormat::kPng;
  if (extension == "jpg" || extension == "jpeg") return PictureFormat::kJpeg;
  throw HttpError(404, "no such picture format: \"" + extension.substr(0, 16) + "\" (png or jpg)");
}

std::string StatusLine(int status) {
  switch (status) {
    case 400:
      return "400 bad request";
    case 405:
      return "405 method not allowed";
    case 413:
      return "413 request too large";
    case 414:
      return "414 request URI too long";
    default:
      return std::to_string(status);
  }
}

}  // namespace

ViewServer::ViewServer(FrameStore& store)
    : store_(store), server_(std::make_unique<httplib::Server>()) {
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  server_->set_keep_alive_max_count(kKeepAliveRequests);
  server_->set_payload_max_length(kMaxRequestBody);
  server_->set_tcp_nodelay(true);
  // httplib's default also sets SO_REUSEPORT, with which a second viewer could bind the same
  // port and take a share of this one's requests; a port in use must fail instead.
  server_->set_socket_options([](int sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  AddGuards();
  AddRoutes();
}

ViewServer::~ViewServer() = default;

void ViewServer::AddGuards() {
  server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"X-Frame-Options", "DENY"}});
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header("Host")) {
      SendError(res, 400, "the request has no Host header");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string host = req.get_header_value("Host");
    if (!HostHeaderIsOurs(host, host_, port_)) {
      SendError(res, 403,
                "Host \"" + host.substr(0, 80) + "\" is not this server (" + host_ + ":" +
                    std::to_string(port_) + ")");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // Answers httplib gives itself (unknown paths and methods, unreadable requests) get a reason.
  server_->set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string what = res.status == 404 ? "nothing is served at " + req.path.substr(0, 80)
                                               : StatusLine(res.status);
    res.set_content(what + "\n", "text/plain; charset=utf-8");
  });
  server_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string reason = "internal error";
        try {
          std::rethrow_exception(ep);
        } catch (const std::exception& e) {
          reason += std::string(": ") + e.what();
        } catch (...) {
        }
        SendError(res, 500, reason);
      });
}

void ViewServer::AddRoutes() {
  FrameStore& store = store_;
  server_->Get(R"(/|/viewer\.js|/viewer\.css)",
               Guarded([](const httplib::Request& req, httplib::Response& res) {
                 RequireNoParams(req.params);
                 const PageAsset* asset = FindPageAsset(req.path);
                 res.set_content(asset->bytes.data(), asset->bytes.size(), asset->type);
                 res.set_header("Cache-Control", "no-cache");
                 res.set_header("Content-Security-Policy", kPageSecurity);
               }));
  server_->Get("/api/info", Guarded([&store](const httplib::Request& req, httplib::Response& res) {
                 RequireNoParams(req.params);
                 Send(res, store.Info(), false);
               }));
  server_->Get(R"(/api/frame/([^/]*))",
               Guarded([&store](const httplib::Request& req, httplib::Response& res) {
                 RequireNoParams(req.params);
                 Send(res, store.Record(ParseFrameNumber(req.matches[1])), true);
               }));
  // /frame/N: the frame as stored or lossless; /frame/N.jpg: always a JPEG; with overlays
  // asked for, the frame as the library draws them (PNG unless .jpg).
  server_->Get(R"(/frame/([^/]*))",
               Guarded([&store](const httplib::Request& req, httplib::Response& res) {
                 const FrameName name = ParseFrameName(req.matches[1]);
                 const OverlayRequest overlays = ParseOverlays(req.params);
                 if (name.extension.empty()) {
                   Send(res,
                        overlays.Any() ? store.Drawn(name.number, overlays, PictureFormat::kPng)
                                       : store.Picture(name.number),
                        true);
                   return;
                 }
                 const PictureFormat format = FormatOf(name.extension);
                 Send(res,
                      format == PictureFormat::kJpeg && !overlays.Any()
                          ? store.Jpeg(name.number)
                          : store.Drawn(name.number, overlays, format),
                      true);
               }));
  server_->Get(R"(/thumb/([^/]*))",
               Guarded([&store](const httplib::Request& req, httplib::Response& res) {
                 RequireNoParams(req.params);
                 const FrameName name = ParseFrameName(req.matches[1]);
                 if (name.extension != "jpg") {
                   throw HttpError(404, "thumbnails are JPEG pictures: /thumb/N.jpg");
                 }
                 Send(res, store.Thumb(name.number), true);
               }));
  // A download: the frame with the overlays asked for, named after the frame.
  server_->Get(R"(/save/([^/]*))",
               Guarded([&store](const httplib::Request& req, httplib::Response& res) {
                 const FrameName name = ParseFrameName(req.matches[1]);
                 const PictureFormat format = FormatOf(name.extension);
                 const OverlayRequest overlays = ParseOverlays(req.params);
                 Send(res, store.Drawn(name.number, overlays, format), false);
                 const std::string file = "frame-" + std::to_string(name.number) +
                                          (format == PictureFormat::kPng ? ".png" : ".jpg");
                 res.set_header("Content-Disposition", "attachment; filename=\"" + file + "\"");
               }));
}

int ViewServer::Bind(const std::string& host, int port) {
  host_ = host;
  port_ =
      port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
  if (port_ <= 0) {
    throw CommandError("cannot listen on " + host + ":" + std::to_string(port) +
                       " (in use, or not an address of this machine)");
  }
  return port_;
}

bool ViewServer::Run() { return server_->listen_after_bind(); }

void ViewServer::Stop() { server_->stop(); }

}  // namespace vialto::cli::view
