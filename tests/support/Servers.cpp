#include "support/Servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace vialto::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);

std::string FixtureScript(const std::string& name) {
  return std::string(VIALTO_SOURCE_DIR) + "/tests/fixtures/" + name;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

void WaitUntilAccepting(ChildProcess& process, int port) {
  const auto deadline = Clock::now() + kStartTimeout;
  while (!Accepts(port)) {
    if (!process.Running() || Clock::now() > deadline)
      throw std::runtime_error("test server on port " + std::to_string(port) + " did not start");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Reads the port line the child prints first.
int ReadPortLine(int fd) {
  std::string line;
  const auto deadline = Clock::now() + kStartTimeout;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') return std::stoi(line);
    line += c;
  }
  throw std::runtime_error("test server printed no port");
}

// A proxy configured for the machine would otherwise be asked for the loopback servers too.
void BypassProxiesForLoopback() {
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* current = std::getenv(name);
    std::string value = current && *current ? std::string(current) + ",127.0.0.1" : "127.0.0.1";
    ::setenv(name, value.c_str(), 1);
  }
}

void RunOrThrow(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool readPort) {
  static const bool bypassed = (BypassProxiesForLoopback(), true);
  (void)bypassed;
  int out[2] = {-1, -1};
  if (readPort && ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    if (readPort) ::dup2(out[1], STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (readPort) {
    ::close(out[1]);
    try {
      port_ = ReadPortLine(out[0]);
    } catch (...) {
      ::close(out[0]);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      throw;
    }
    ::close(out[0]);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool ChildProcess::Running() {
  if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) != 0)
    pid_ = -1;  // reaped: nothing to kill later
  return pid_ > 0;
}

int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("no free port");
  ::close(fd);
  return ntohs(addr.sin_port);
}

NginxServer::NginxServer(const std::string& root) {
  const std::string d = dir_.path().string();
  RunOrThrow(
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
      " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
      d + "/key.pem -out " + d + "/cert.pem >/dev/null 2>&1");
  // The ports are picked free just before the start; another process may take one in between,
  // so a start that fails is tried again on new ports.
  for (int attempt = 0; attempt < 5; ++attempt) {
    httpPort_ = UnusedPort();
    httpsPort_ = UnusedPort();
    std::ofstream conf(d + "/nginx.conf", std::ios::trunc);
    conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
         << "pid " << d << "/nginx.pid;\nerror_log " << d << "/error.log warn;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n  access_log " << d << "/access.log;\n"
         << "  client_body_temp_path " << d << "/body;\n  proxy_temp_path " << d << "/proxy;\n"
         << "  fastcgi_temp_path " << d << "/fastcgi;\n  uwsgi_temp_path " << d << "/uwsgi;\n"
         << "  scgi_temp_path " << d << "/scgi;\n"
         << "  default_type application/octet-stream;\n  keepalive_requests 100000;\n"
         << "  server { listen 127.0.0.1:" << httpPort_ << "; root " << root << "; }\n"
         << "  server { listen 127.0.0.1:" << httpsPort_ << " ssl; root " << root << ";\n"
         << "    ssl_certificate " << d << "/cert.pem; ssl_certificate_key " << d << "/key.pem; }\n"
         << "}\n";
    conf.close();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/sbin/nginx", "-p", d, "-c", d + "/nginx.conf", "-e",
                                 d + "/error.log"},
        false);
    try {
      WaitUntilAccepting(*process_, httpPort_);
      WaitUntilAccepting(*process_, httpsPort_);
      return;
    } catch (const std::runtime_error&) {
      process_.reset();
    }
  }
  throw std::runtime_error("nginx did not start");
}

std::string NginxServer::HttpUrl(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + "/" + name;
}

std::string NginxServer::HttpsUrl(const std::string& name) const {
  return "https://127.0.0.1:" + std::to_string(httpsPort_) + "/" + name;
}

FtpServer::FtpServer(const std::string& root)
    : process_({"/usr/bin/python3", FixtureScript("ftp_server.py"), root}, true) {
  WaitUntilAccepting(process_, process_.port());
}

std::string FtpServer::Url(const std::string& name) const {
  return "ftp://127.0.0.1:" + std::to_string(process_.port()) + "/" + name;
}

HostileHttpServer::HostileHttpServer(const std::string& root)
    : process_({"/usr/bin/python3", FixtureScript("hostile_http.py"), root}, true) {
  WaitUntilAccepting(process_, process_.port());
}

std::string HostileHttpServer::Url(const std::string& behaviour, const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(process_.port()) + "/" + behaviour + "/" + name;
}

}  // namespace vialto::test
