#include "driver/Gallery.h"

int main(int argc, char** argv) {
    return RunGallery(argc, argv);
}
