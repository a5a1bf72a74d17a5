#include "effects/Twister.h"
