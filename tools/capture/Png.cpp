#include "capture/Capture.h"
