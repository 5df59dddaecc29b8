#include <gtest/gtest.h>

#include "text/subst/substitute.h"
