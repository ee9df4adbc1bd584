// A ring of key codes that holds Size - 1 of them and drops the oldest when a post finds it full.
// Not synchronised: its owner keeps it under a lock of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace rt {

template <int Size> class KeyRing {
    static_assert(Size >= 2);

  public:
    void post(std::int32_t code) {
        codes_[index(write_)] = code;
        write_ = (write_ + 1) % Size;
        if (write_ == read_) read_ = (read_ + 1) % Size;
    }

    // The oldest code, taken out; 0 when empty.
    std::int32_t take() {
        if (empty()) return 0;
        const std::int32_t code = codes_[index(read_)];
        read_ = (read_ + 1) % Size;
        return code;
    }

    bool empty() const { return read_ == write_; }

  private:
    static std::size_t index(int i) { return static_cast<std::size_t>(i); }

    std::array<std::int32_t, Size> codes_{};
    int read_ = 0;
    int write_ = 0;
};

} // namespace rt
