#include "gfx/x11/x11_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "gfx/window/present_pass.h"

namespace zered {

namespace {

std::atomic<unsigned long> x_errors{0};

int count_x_error(Display*, XErrorEvent*) {
    x_errors.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// The format of a visual's pixels in an image of the display.
VisualFormat format_of(Display* display, const XVisualInfo& info) {
    int count = 0;
    int bits = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == info.depth) bits = formats[i].bits_per_pixel;
        XFree(formats);
    }
    return visual_format(bits, info.red_mask, info.green_mask, info.blue_mask);
}

// A failed attach shows only as a protocol error: the one time the driver expects one, so the
// error handler is its own for just that round trip.
bool attach_shared_memory(Display* display, XShmSegmentInfo& shm) {
    const unsigned long errors = x_errors.load();
    const XErrorHandler previous = XSetErrorHandler(count_x_error);
    const bool attached = XShmAttach(display, &shm) && (XSync(display, False), true);
    XSetErrorHandler(previous);
    return attached && x_errors.load() == errors;
}

bool make_shared_image(X11Image& m, const X11Window& w, const XVisualInfo& visual) {
    if (!XShmQueryExtension(w.display)) return false;
    m.image = XShmCreateImage(w.display, visual.visual, static_cast<unsigned>(visual.depth),
                              ZPixmap, nullptr, &m.shm, static_cast<unsigned>(w.width),
                              static_cast<unsigned>(w.height));
    if (!m.image) return false;
    const auto bytes = static_cast<std::size_t>(m.image->bytes_per_line) *
                       static_cast<std::size_t>(m.image->height);
    m.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m.shm.shmid < 0) return false;
    m.shm.shmaddr = static_cast<char*>(shmat(m.shm.shmid, nullptr, 0));
    // Removed now, the segment goes away with the last detach, even if the process dies.
    shmctl(m.shm.shmid, IPC_RMID, nullptr);
    if (m.shm.shmaddr == reinterpret_cast<char*>(-1)) {
        m.shm.shmaddr = nullptr;
        return false;
    }
    m.image->data = m.shm.shmaddr;
    m.shm.readOnly = False;
    // A server on another machine cannot attach.
    if (!attach_shared_memory(w.display, m.shm)) return false;
    m.shm_attached = true;
    return true;
}

void put_rows(const X11Image& m, const X11Window& w, int first_row, int rows) {
    if (m.shm_attached)
        XShmPutImage(w.display, w.id, w.gc, m.image, 0, first_row, image_left(w),
                     image_top(w) + first_row, static_cast<unsigned>(w.width),
                     static_cast<unsigned>(rows), False);
    else
        XPutImage(w.display, w.id, w.gc, m.image, 0, first_row, image_left(w),
                  image_top(w) + first_row, static_cast<unsigned>(w.width),
                  static_cast<unsigned>(rows));
}

// The black around the image of a window that is larger than it.
void fill_margins(const X11Window& w) {
    const int left = image_left(w), top = image_top(w);
    const auto fill = [&w](int fx, int fy, int fw, int fh) {
        if (fw > 0 && fh > 0)
            XFillRectangle(w.display, w.id, w.gc, fx, fy, static_cast<unsigned>(fw),
                           static_cast<unsigned>(fh));
    };
    fill(0, 0, w.window_width, top);
    fill(0, top + w.height, w.window_width, w.window_height - top - w.height);
    fill(0, top, left, w.height);
    fill(left + w.width, top, w.window_width - left - w.width, w.height);
}

} // namespace


bool choose_visual(Display* display, XVisualInfo& chosen, VisualFormat& format) {
    const int screen = DefaultScreen(display);
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(DefaultVisual(display, screen));
    int count = 0;
    if (XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count)) {
        chosen = info[0];
        XFree(info);
        format = format_of(display, chosen);
        if (chosen.c_class == TrueColor && format.display_depth) return true;
    }
    for (const int depth : {24, 32, 16, 15}) {
        if (XMatchVisualInfo(display, screen, depth, TrueColor, &chosen)) {
            format = format_of(display, chosen);
            if (format.display_depth) return true;
        }
    }
    return false;
}

ConvertFn choose_converter(VisualFormat format) {
    // For the formats a visual can have here, select_converter leaves only the pairs without a
    // conversion empty: a 32-bit framebuffer on a blue-low 32-bit visual and a 16-bit one on a
    // blue-low 5-6-5 visual. Their lines are copied as they are.
    const ConvertFn converter = select_converter(format.display_depth, format.red_low);
    return converter ? converter : convert_copy;
}

std::uint32_t alpha_bits(const XVisualInfo& visual, VisualFormat format) {
    if (visual.depth != 32 || format.display_depth != 32) return 0;
    return ~static_cast<std::uint32_t>(visual.red_mask | visual.green_mask | visual.blue_mask);
}

void release_image(X11Image& m, Display* display) {
    if (m.shm_attached) {
        XShmDetach(display, &m.shm);
        XSync(display, False);
        m.shm_attached = false;
    }
    forget_image(m);
}

void forget_image(X11Image& m) {
    m.shm_attached = false;
    if (m.image) {
        // The pixels are not the image's to free: shared memory, or ours below.
        if (m.shm.shmaddr) m.image->data = nullptr;
        XDestroyImage(m.image);
        m.image = nullptr;
    }
    if (m.shm.shmaddr) {
        shmdt(m.shm.shmaddr);
        m.shm.shmaddr = nullptr;
    }
    m.shm = XShmSegmentInfo{};
}

bool make_image(X11Image& m, const X11Window& w, const XVisualInfo& visual) {
    if (make_shared_image(m, w, visual)) return true;
    release_image(m, w.display);
    m.image = XCreateImage(w.display, visual.visual, static_cast<unsigned>(visual.depth), ZPixmap,
                           0, nullptr, static_cast<unsigned>(w.width),
                           static_cast<unsigned>(w.height), 32, 0);
    if (!m.image) return false;
    // XDestroyImage frees the pixels with free().
    m.image->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(m.image->height),
                                                   static_cast<std::size_t>(m.image->bytes_per_line)));
    return m.image->data != nullptr;
}

DirtyBand convert_dirty_lines(X11Image& m, const X11Window& w, ScreenState& screen) {
    const DirtyBand band = find_dirty_band(pass_dirty_flags(screen, screen.height));
    DirtyBand rows{};
    if (band.count > 0) {
        m.converter(m.image->data, m.image->bytes_per_line);
        rows = band_display_rows(band, screen.scanline_size, w.height);
        if (m.alpha) {
            for (int row = rows.first; row < rows.first + rows.count; ++row) {
                auto* pixels = reinterpret_cast<std::uint32_t*>(
                    m.image->data + static_cast<std::ptrdiff_t>(row) * m.image->bytes_per_line);
                for (int column = 0; column < w.width; ++column)
                    pixels[column] |= m.alpha;
            }
        }
    }
    std::ranges::fill(pass_dirty_flags(screen, w.height), std::uint8_t{0});
    return rows;
}

bool send_rows(const X11Image& m, X11Window& w, DirtyBand rows) {
    if (w.repaint) {
        fill_margins(w);
        rows = {0, w.height};
        w.repaint = false;
    }
    if (rows.count <= 0) return false;
    put_rows(m, w, rows.first, rows.count);
    if (m.shm_attached)
        XSync(w.display, False);
    else
        XFlush(w.display);
    return true;
}

} // namespace zered
