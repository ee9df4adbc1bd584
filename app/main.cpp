#include "app/entry.h"
#include "app/platform.h"
#include "runtime/process.h"

int main(int argc, char** argv) {
    drivenudge::quiet_system_errors();
    rt::record_arguments(argc, argv);
    drivenudge::run(argc, argv);
}
