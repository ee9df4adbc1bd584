#include "runtime/key_translate.h"

#include "runtime/key_layout.h"

namespace rt {

namespace {

// Extended codes are stored as e * 256; the key code marks them with 0xFF in the low byte.
constexpr std::int32_t as_key_code(std::uint32_t value) {
    return static_cast<std::int32_t>(value < 256 ? value : (value & 0xFF00u) | 0xFFu);
}

// The column for the modifiers held; Alt wins over Ctrl, Ctrl over Shift.
constexpr const std::uint16_t* modified_column(const KeyCodes& codes, KeyModifiers modifiers) {
    if (modifiers & KEYMOD_ALT) return &codes.alt;
    if (modifiers & KEYMOD_CTRL) return &codes.ctrl;
    if (modifiers & KEYMOD_SHIFT) return &codes.shift;
    return nullptr;
}

constexpr std::uint32_t swap_case(std::uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
    if (c >= 'a' && c <= 'z') return c - ('a' - 'A');
    return c;
}

std::int32_t translate_enhanced(std::uint32_t scan_code, KeyModifiers modifiers) {
    for (const EnhancedKey& key : enhanced_key_table()) {
        if (key.scan_code != scan_code) continue;
        const std::uint16_t* column = modified_column(key.codes, modifiers);
        if (!column) return as_key_code(key.codes.plain);
        return *column == 0 ? no_key_code : as_key_code(*column);
    }
    return no_key_code;
}

} // namespace

std::int32_t translate_key(std::int32_t character, std::int32_t scan_code,
                           std::uint32_t virtual_key, KeyModifiers modifiers, int force) {
    const std::uint32_t ch = static_cast<std::uint32_t>(character) & 0xFFu;
    // Compared unsigned: a negative scan code is as unknown as one beyond the table.
    const auto scan = static_cast<std::uint32_t>(scan_code);
    if ((modifiers & KEYMOD_ENHANCED) && ch == 0) return translate_enhanced(scan, modifiers);

    const std::int32_t fallback = (force || ch == 0) ? no_key_code : static_cast<std::int32_t>(ch);
    if (scan >= static_cast<std::uint32_t>(scan_code_table_size)) return fallback;

    const std::uint32_t plain = map_virtual_key_char(virtual_key);
    const KeyCodes& codes = scan_code_table()[scan];
    const std::uint16_t* column = modified_column(codes, modifiers);
    const std::uint32_t candidate = column ? *column : (ch == 0 ? codes.plain : plain);
    if (candidate >= 256 && (ch == plain || ch == swap_case(plain))) return as_key_code(candidate);
    return fallback;
}

std::int32_t scan_code_of(std::uint32_t virtual_key) {
    if (virtual_key == 0 || virtual_key == vk::escape) return 1;
    for (const VirtualKeyRow& row : virtual_key_table())
        if (row.secondary == virtual_key || row.primary == virtual_key) return row.scan_code;
    return 0;
}

} // namespace rt
