#include "music/Music.h"
