#include "common/Error.h"
#include "driver/Demo.h"
#include "driver/Desktop.h"

int main(int argc, char** argv) {
    OpenStandardFiles();
    const int status = ParseDisplayCommandLine(
        argc, argv, "ekudemo",
        "A birthday greeting for Eku: a 320x200 demo with its own music, full screen unless "
        "asked for a window. It ends by itself and says goodbye.");
    if (status >= 0) return status;
    if (!UseInstalledData()) {
        PrintError();
        return 1;
    }
    return RunDemo(argc, argv);
}
