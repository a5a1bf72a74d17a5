#include "effects/unscheduled/Tunnel.h"
