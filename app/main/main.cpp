// QuillonForUSB: the operating program of the QX spectrometers.
#include "shell/quillon_application.h"

int main(int argc, char **argv) {
    return quillon::runQuillon(argc, argv);
}
