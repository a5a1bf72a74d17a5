#include "driver/Demo.h"

int RunDemo(int, char**) { return 0; }
