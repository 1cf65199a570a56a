// Processes, signals, temporary folders and locales on Linux; see process.h.
#include "tools/uninstdat/system/process.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace uninstdat {
namespace {

volatile sig_atomic_t gSignal = 0;
void OnSignal(int number) { gSignal = number; }

// The child's side: its own process group, standard output to the pipe or
// to standard error, then the program.
[[noreturn]] void Exec(const std::vector<std::string>& args, int output) {
  setpgid(0, 0);
  dup2(output, STDOUT_FILENO);
  std::vector<char*> argv;
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void Drain(int fd, std::string* output) {
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) output->append(buffer, static_cast<size_t>(got));
}

}  // namespace

Result<void> WineUsableHere() { return {}; }

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

bool Interrupted() { return gSignal != 0; }

void IgnoreFileSizeLimitSignal() { signal(SIGXFSZ, SIG_IGN); }

ScriptResult RunScript(const std::vector<std::string>& args, int seconds, bool capture) {
  ScriptResult result;
  int pipeFds[2] = {-1, -1};
  if (capture && pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  pid_t child = fork();
  if (child < 0) return result;
  if (child == 0) Exec(args, capture ? pipeFds[1] : STDERR_FILENO);
  setpgid(child, child);
  if (capture) close(pipeFds[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  bool ending = false;
  auto endAt = deadline;
  for (;;) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    pollfd fd = {pipeFds[0], POLLIN, 0};
    if (!capture) usleep(200 * 1000);
    else if (poll(&fd, 1, 200) > 0) {
      char buffer[4096];
      ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
      if (got > 0) result.output.append(buffer, static_cast<size_t>(got));
    }
    auto now = std::chrono::steady_clock::now();
    if (!ending && (now > deadline || gSignal)) {
      result.timedOut = !gSignal;
      kill(-child, SIGTERM);
      ending = true;
      endAt = now + std::chrono::seconds(10);
    } else if (ending && now > endAt) {
      kill(-child, SIGKILL);
    }
  }
  if (capture) {
    Drain(pipeFds[0], &result.output);
    close(pipeFds[0]);
  }
  return result;
}

std::string OwnFolder() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "";
  std::string self(buffer, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/'));
}

bool IsReadableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

Result<std::string> MakeTemporaryFolder(const std::string& parent, const std::string& prefix) {
  std::string pattern = parent + "/" + prefix + "XXXXXX";
  if (!mkdtemp(&pattern[0])) return Failure{Exit::kCannotWrite, strerror(errno)};
  return pattern;
}

bool HasLocale(const std::string& name) {
  locale_t probe = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
  if (probe) freelocale(probe);
  return probe != nullptr;
}

}  // namespace uninstdat
