#include "gfx/console/event_queue.h"

namespace zered {

namespace {

// Holds the screen's event_lock for a scope; the wait has no time-out.
class EventLockGuard {
  public:
    explicit EventLockGuard(ScreenState& screen) : screen_(screen) { screen_.event_lock.acquire(); }
    ~EventLockGuard() { screen_.event_lock.release(); }
    EventLockGuard(const EventLockGuard&) = delete;
    EventLockGuard& operator=(const EventLockGuard&) = delete;

  private:
    ScreenState& screen_;
};

} // namespace

void post_event(const Event& record) {
    ScreenState* screen = current_screen();
    if (!screen) return;
    const EventLockGuard guard(*screen);
    screen->event_queue[static_cast<std::size_t>(screen->event_write)] = record;
    screen->event_write = (screen->event_write + 1) % event_queue_size;
    if (screen->event_write == screen->event_read)
        screen->event_read = (screen->event_write + 1) % event_queue_size;
}

int take_event(Event* out) {
    ScreenState* screen = current_screen();
    if (!screen) return 0;
    const EventLockGuard guard(*screen);
    if (screen->event_read == screen->event_write) return 0;
    *out = screen->event_queue[static_cast<std::size_t>(screen->event_read)];
    screen->event_read = (screen->event_read + 1) % event_queue_size;
    return 1;
}

} // namespace zered
