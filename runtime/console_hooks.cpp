#include "runtime/console_hooks.h"

namespace rt {

static_assert(sizeof(ConsoleHooks) == console_hook_slots * sizeof(void (*)()),
              "every console hook is one operation slot");

ConsoleHooks& console_hooks() {
    static ConsoleHooks hooks;
    return hooks;
}

namespace {

int error_number = 0;

} // namespace

int last_error() { return error_number; }
void set_last_error(int error) { error_number = error; }

} // namespace rt
