// Takes a single-instance guard and holds it until killed.
// Prints "HELD" or "BUSY" on standard output.
#include "shell/Queries.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const bool busy = vl::shell::SingleInstanceGuard(QString::fromLocal8Bit(argv[1]));
    std::puts(busy ? "BUSY" : "HELD");
    std::fflush(stdout);
    if (busy) return 1;
    for (;;) ::pause();
}
