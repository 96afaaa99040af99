#include <gtest/gtest.h>
#include "support/windows.h"
