#include "driver/Gallery.h"
int RunGallery(int, char**) { return 0; }
