#include "common/Error.h"
#include "driver/Desktop.h"
#include "driver/Gallery.h"

int main(int argc, char** argv) {
    OpenStandardFiles();
    const GalleryEffect* only = nullptr;
    const int status = ParseGalleryCommandLine(
        argc, argv,
        "The effects that the birthday greeting never shows (a tunnel, flares and waving tiles), "
        "about ten seconds each, with the greeting's music.",
        &only);
    if (status >= 0) return status;
    if (!UseInstalledData()) {
        PrintError();
        return 1;
    }
    return RunGallery(only);
}
