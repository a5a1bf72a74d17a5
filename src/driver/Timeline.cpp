#include "driver/Timeline.h"
