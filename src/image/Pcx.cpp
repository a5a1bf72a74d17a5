#include "image/Pcx.h"
