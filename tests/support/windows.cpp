#include "support/windows.h"
