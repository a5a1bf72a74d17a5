#include "effects/unscheduled/Flares.h"
