#pragma once
// Reference converters for the tests: glibc's iconv(3) in process, and outside programs (iconv,
// nkf) through a pipe. Both report absence so that tests can skip where a peer is missing.

#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace morvelle::testing {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  // (iconv_t)-1 is iconv_open's documented failure value.
  bool ok() const {
    return cd_ != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }

  // The whole input converted, or nothing when any of it is rejected.
  std::optional<std::string> operator()(std::string in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

inline bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` with `input` on its standard input (through a temporary file, so that large
// inputs cannot deadlock the pipe) and returns its standard output; nothing when it fails.
inline std::optional<std::string> RunFilter(const std::string& command, const std::string& input) {
  std::string name = (std::filesystem::temp_directory_path() / "morvelle-oracle-XXXXXX").string();
  int fd = mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  ::close(fd);
  std::ofstream(name, std::ios::binary) << input;
  std::string full = command + " < '" + name + "'";
  FILE* pipe = popen(full.c_str(), "r");
  std::optional<std::string> out;
  if (pipe) {
    std::string result;
    std::array<char, 65536> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.append(buffer.data(), n);
    int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) out = std::move(result);
  }
  ::unlink(name.c_str());
  return out;
}

}  // namespace morvelle::testing
