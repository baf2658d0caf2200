// vialto view: a sequence in the browser, served from this process on loopback.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "../Args.h"
#include "../Commands.h"
#include "../Sequence.h"
#include "FrameStore.h"
#include "OpenBrowser.h"
#include "ViewServer.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto view SOURCE [--port N] [--host ADDRESS] [--no-open]\n"
    "\n"
    "Serves a page that shows the sequence frame by frame: step with the arrow keys (Page Up/Down\n"
    "by 10, Home/End), scrub, jump to a frame number, play at a chosen rate, see each frame's\n"
    "sub-header, draw the time stamp and an arrow, save a frame as PNG or JPEG.\n"
    "\n"
    "  --port N          listen on port N (default 0: a free port); the URL is printed on stdout\n"
    "  --host ADDRESS    listen on ADDRESS instead of 127.0.0.1 (others on the network can then\n"
    "                    see the sequence)\n"
    "  --no-open         do not ask the desktop to open the page in a browser\n"
    "\n"
    "SOURCE is a local path or an http://, https:// or ftp:// URL; ftp sources can only be read\n"
    "forward. Ctrl-C stops the server.\n";

std::string UrlHost(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// Blocks SIGINT and SIGTERM in this thread and every thread started after; a watcher thread
// takes them with sigwait and stops the server, so nothing runs inside a signal handler.
sigset_t BlockStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return set;
}

}  // namespace

int RunView(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{"--port", "--host"}, {"--no-open"}});
  if (args.Positionals().size() != 1) throw UsageError("expected exactly one SOURCE");
  const int port =
      args.Value("--port") ? ParseIntInRange(*args.Value("--port"), "--port", 0, 65535) : 0;
  const std::string host = args.Value("--host").value_or("127.0.0.1");
  if (host.empty()) throw UsageError("--host needs an address");

  Sequence seq(args.Positionals()[0]);
  view::FrameStore store(seq);
  const sigset_t stopSignals = BlockStopSignals();
  view::ViewServer server(store);
  const int bound = server.Bind(host, port);
  const std::string url = "http://" + UrlHost(host) + ":" + std::to_string(bound) + "/";
  std::printf("vialto view: serving %s at %s (Ctrl-C stops)\n", seq.Source().c_str(), url.c_str());
  std::fflush(stdout);
  if (!IsLoopback(host)) {
    std::fprintf(stderr, "vialto view: listening on %s: other machines can see this sequence\n",
                 host.c_str());
  }
  if (!args.Has("--no-open")) view::OpenInBrowser(url);

  std::atomic<bool> finished{false};
  std::thread watcher([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    // A signal that comes before the server has started must still stop it once it runs.
    while (!finished) {
      server.Stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const bool served = server.Run();
  finished = true;
  // Run also ends when serving fails; wake the watcher so that it can be joined.
  if (!served) pthread_kill(watcher.native_handle(), SIGTERM);
  watcher.join();
  if (!served) throw CommandError("the server stopped unexpectedly");
  std::printf("vialto view: stopped\n");
  return 0;
}

}  // namespace vialto::cli
