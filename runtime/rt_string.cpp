#include "runtime/rt_string.h"

#include <algorithm>
#include <climits>
#include <cstddef>

namespace rt {

int compare(std::optional<std::string_view> a, std::optional<std::string_view> b) {
    if (!a && !b) return 0;
    if (!b) return a->empty() ? 0 : 1;
    if (!a) return b->empty() ? 0 : -1;
    const std::size_t common = std::min(a->size(), b->size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>((*a)[i]);
        const auto y = static_cast<unsigned char>((*b)[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a->size() == b->size()) return 0;
    return a->size() < b->size() ? -1 : 1;
}

int length(std::string_view s) {
    return s.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(s.size());
}

std::string substring(std::string_view s, int start, int count) {
    if (count < 1) return {};
    const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= s.size()) return {};
    return std::string(s.substr(from, static_cast<std::size_t>(count)));
}

std::string concat(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a);
    out.append(b);
    return out;
}

} // namespace rt
