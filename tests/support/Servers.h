// Real servers on free loopback ports for the remote-source tests: nginx (http and https), an
// anonymous read-only ftp server, and a hostile http server that misbehaves by instruction.
// Each serves one directory; each lives as long as its object (started ready, killed after).
#pragma once
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TestUtil.h"

namespace vialto::test {

// A child process, killed and reaped on destruction (and by the kernel if the tests die).
class ChildProcess {
 public:
  // Runs argv; when readPort, the first line it prints is taken as its port.
  ChildProcess(const std::vector<std::string>& argv, bool readPort);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  int port() const { return port_; }
  bool Running();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

class NginxServer {
 public:
  explicit NginxServer(const std::string& root);
  std::string HttpUrl(const std::string& name) const;
  std::string HttpsUrl(const std::string& name) const;
  // The self-signed certificate the https side presents, to trust it.
  std::string CertificateFile() const { return dir_.File("cert.pem"); }

 private:
  TempDir dir_;
  int httpPort_ = 0;
  int httpsPort_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

class FtpServer {
 public:
  explicit FtpServer(const std::string& root);
  std::string Url(const std::string& name) const;

 private:
  ChildProcess process_;
};

class HostileHttpServer {
 public:
  explicit HostileHttpServer(const std::string& root);
  // behaviour: one of the path prefixes listed in tests/fixtures/hostile_http.py.
  std::string Url(const std::string& behaviour, const std::string& name) const;

 private:
  ChildProcess process_;
};

// All three on one served directory, the usual set-up of a remote test suite.
struct RemoteServers {
  TempDir root;
  NginxServer nginx{root.path().string()};
  FtpServer ftp{root.path().string()};
  HostileHttpServer hostile{root.path().string()};

  // Writes bytes as root/name for all three servers to serve.
  void Publish(const std::string& name, const Bytes& bytes) const {
    WriteFile(root.File(name), bytes);
  }
};

// A loopback port that nothing listens on (at the time of asking).
int UnusedPort();

}  // namespace vialto::test
