// vialto save: a local copy of a remote sequence.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Args.h"
#include "Commands.h"
#include "Progress.h"
#include "Sequence.h"
#include "UrlProbe.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto save URL FILE\n"
    "\n"
    "Copies the remote sequence at URL (http://, https:// or ftp://) to the local FILE,\n"
    "replacing it when it exists, then checks that the copy opens as a sequence.\n";

// Why FILE cannot be written, in the system's words; empty when it can be. A file that is not
// there is created to find out, and removed again.
std::string LocalWriteProblem(const std::string& path) {
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (existed ? 0 : O_CREAT | O_EXCL), 0644);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  if (!existed) ::unlink(path.c_str());
  return {};
}

std::string SaveFailure(const std::string& url, const std::string& file) {
  const std::string local = LocalWriteProblem(file);
  if (!local.empty()) return "cannot save " + url + " to " + file + ": " + file + ": " + local;
  const std::string remote = ProbeUrlFailure(url);
  if (!remote.empty()) return "cannot save " + url + " to " + file + ": " + remote;
  return "cannot save " + url + " to " + file +
         ": the copy failed (the file can be written and the URL answers; the transfer broke off"
         " or the disk is full)";
}

}  // namespace

int RunSave(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{}, {}});
  if (args.Positionals().size() != 2) throw UsageError("expected URL and FILE");
  const std::string& url = args.Positionals()[0];
  const std::string& file = args.Positionals()[1];
  if (!IsUrl(url)) {
    throw UsageError(url + " is not an http(s) or ftp URL (copy local files with cp)");
  }
  Sequence seq(url);
  int saved = 0;
  {
    Spinner spinner("saving " + url);
    saved = Ser_SaveToLocal(seq.Handle(), file.c_str(), 0);
  }
  if (saved != 1) throw CommandError(SaveFailure(url, file));
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file, ec);
  if (ec) throw CommandError(file + ": " + ec.message());
  // The copy must be the sequence itself, not a partial or an error page.
  const Sequence copy(file);
  std::printf("saved %s to %s: %llu bytes, %s, %d frames\n", url.c_str(), file.c_str(),
              static_cast<unsigned long long>(bytes), copy.TypeName(), copy.DeclaredFrameCount());
  return 0;
}

}  // namespace vialto::cli
