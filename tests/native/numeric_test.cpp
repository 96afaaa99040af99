#include <gtest/gtest.h>
#include "runtime/numeric.h"
