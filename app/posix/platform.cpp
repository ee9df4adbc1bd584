#include "app/platform.h"

namespace drivenudge {

// Nothing shows boxes here, and standard output is always inherited.
void quiet_system_errors() {}
void prepare_standard_output() {}

} // namespace drivenudge
