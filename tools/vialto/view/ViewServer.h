// The viewer's HTTP server: the page and its assets, the sequence's records and pictures, and
// nothing else. Every request must carry this server's own Host header.
#pragma once
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace vialto::cli::view {

class FrameStore;

class ViewServer {
 public:
  explicit ViewServer(FrameStore& store);
  ~ViewServer();

  // Binds host:port (0: a free port) and returns the port; throws CommandError when it cannot.
  int Bind(const std::string& host, int port);
  // Serves until Stop; returns false when serving failed.
  bool Run();
  // Safe from any thread.
  void Stop();

 private:
  void AddRoutes();
  void AddGuards();

  FrameStore& store_;
  std::unique_ptr<httplib::Server> server_;
  std::string host_;
  int port_ = 0;
};

}  // namespace vialto::cli::view
