#include "support/debug_monitor.h"
