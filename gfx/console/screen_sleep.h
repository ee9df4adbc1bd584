// The sleep an open screen puts into the runtime's console hook table: a long or endless wait
// ends early when a key is posted to the key buffer.
#pragma once

namespace zered {

// Waits milliseconds on the program's thread. -1: until a key is posted (a key posted since the
// flag was last cleared ends it at once). 100 and more: steps of 50 ms with a key check before
// each, then the rest of 1 to 50 ms without one. 1 to 99: one wait, no check. 0 and other
// negative counts: no wait at all. The key stays in the buffer.
void screen_sleep(int milliseconds);

} // namespace zered
