#include "driver/Demo.h"

int main(int argc, char** argv) {
    return RunDemo(argc, argv);
}
