#include "runtime/process.h"

#include <cfenv>
#include <clocale>
#include <cstdlib>

namespace rt {

namespace {

struct RuntimeContext {
    int startups = 0;
    int argc = 0;
    char** argv = nullptr;
};

RuntimeContext& context() {
    static RuntimeContext c;
    return c;
}

// x86-64 arithmetic is SSE: double precision already, so only the rounding needs setting.
struct StartupAtLoad {
    StartupAtLoad() { startup(); }
} const startup_at_load;

} // namespace

void startup() {
    RuntimeContext& c = context();
    if (c.startups++ > 0) return;
    std::fesetround(FE_TONEAREST);
    std::setlocale(LC_CTYPE, "");
}

void record_arguments(int argc, char** argv) {
    context().argc = argc;
    context().argv = argv;
}

int argument_count() { return context().argc; }
char** argument_vector() { return context().argv; }

void end(int code) { std::exit(code); }

} // namespace rt
