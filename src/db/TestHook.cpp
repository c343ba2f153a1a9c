#include "db/TestHook.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace vl::db {

namespace {

struct StopPoint {
    std::string name;
    int count = 1;     // stop the count-th time the point is reached
};

const StopPoint* stopPoint() {
    static const StopPoint* point = [] () -> const StopPoint* {
        const char* v = std::getenv("VL_TEST_STOP_AT");
        if (!v || !*v) return nullptr;
        auto* p = new StopPoint;
        p->name = v;
        const auto hash = p->name.find('#');
        if (hash != std::string::npos) {
            p->count = std::max(1, std::atoi(p->name.c_str() + hash + 1));
            p->name.resize(hash);
        }
        return p;
    }();
    return point;
}

} // namespace

void testHook(const char* name) {
    const StopPoint* p = stopPoint();
    if (!p || p->name != name) return;
    static std::atomic<int> reached{0};
    if (++reached != p->count) return;
    std::fprintf(stderr, "VL_TEST_STOPPED %s %d\n", name, int(::getpid()));
    std::fflush(stderr);
    ::raise(SIGSTOP);
}

} // namespace vl::db
