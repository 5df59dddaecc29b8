// The pair model's classes are written twice: in C++ for recognition and in Python for the
// generator of its table (tools/pairmodel/classes.py). A table made with other classes would
// score every reading wrongly, so both must class every JIS row and cell alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/missing_input.h"
#include "text/detect/pair_model.h"

namespace morvelle::text::detect {
namespace {

TEST(PairModelClasses, TheGeneratorClassesEveryJisCharacterAsRecognitionDoes) {
  const char* source = std::getenv("MORVELLE_SOURCE_DIR");
  if (!source) MORVELLE_MISSING_INPUT("MORVELLE_SOURCE_DIR is not set");
  const std::string command =
      std::string(
          "python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import classes; "
          "print(classes.COUNT); print(\" \".join(str(classes.jis_class(r, c)) "
          "for r in range(1, 95) for c in range(1, 95)))' '") +
      source + "/tools/pairmodel' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  int count = -1;
  if (std::fscanf(pipe, "%d", &count) != 1) {
    pclose(pipe);
    MORVELLE_MISSING_INPUT("python3 cannot read tools/pairmodel/classes.py");
  }
  EXPECT_EQ(count, cls::kCount);
  int mismatches = 0;
  for (int row = 1; row <= 94; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      int python = -1;
      ASSERT_EQ(std::fscanf(pipe, "%d", &python), 1);
      if (python != JisClass(row, cell) && ++mismatches <= 5) {
        ADD_FAILURE() << "row " << row << " cell " << cell << ": generator " << python
                      << ", recognition " << JisClass(row, cell);
      }
    }
  }
  pclose(pipe);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace morvelle::text::detect
