#include "effects/Caption.h"
