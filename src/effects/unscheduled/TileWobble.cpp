#include "effects/unscheduled/TileWobble.h"
