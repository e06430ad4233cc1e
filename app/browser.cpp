// The update tab's browser process; the program starts it while its window is shown.

#include "EmbeddedBrowser.h"

int main(int argc, char* argv[]) {
    return RunBrowser(argc, argv);
}
