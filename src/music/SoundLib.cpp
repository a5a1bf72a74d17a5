#include "music/SoundLib.h"
