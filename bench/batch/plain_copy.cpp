// The floor of a batch without rules: each file read whole, written to a temporary file beside
// it and renamed to NAME.exp, as plainly as POSIX allows. morvelle-batch with no rule does the
// same work plus recognising each file's code; bench/batch/run.py compares the two.
//   morvelle_plain_copy FILE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  std::string bytes;
  for (int i = 1; i < argc; ++i) {
    const std::string source = argv[i];
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || ::fstat(in, &st) != 0) return std::perror(argv[i]), 1;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(in, bytes.data() + got, bytes.size() - got);
      if (n <= 0) return std::perror(argv[i]), 1;
      got += static_cast<std::size_t>(n);
    }
    ::close(in);
    std::string temp = source + ".exp.XXXXXX";
    const int out = ::mkstemp(temp.data());
    if (out < 0 || ::write(out, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        ::close(out) != 0 || ::rename(temp.c_str(), (source + ".exp").c_str()) != 0) {
      return std::perror(argv[i]), 1;
    }
  }
  return 0;
}
