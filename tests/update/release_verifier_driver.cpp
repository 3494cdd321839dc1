// The verifier switches as the application runs them first, then what the application would
// do instead: say so on standard error and keep running until killed.
#include "app/release_verifier_command.h"

#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    zevra::runReleaseVerifierCommandIfPresent(arguments);
    std::fputs("ZEVRA runs without a window\n", stderr);
    std::fflush(stderr);
    while (true) {
        pause();
    }
}
