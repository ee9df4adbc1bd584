#include "runtime/key_layout.h"
#include "runtime/key_tables.h"

#include <array>
#include <utility>

namespace rt {

namespace {

// The keys of a US layout that type something besides the digits and letters.
constexpr std::array<std::pair<std::uint8_t, char>, 23> us_keys{{
    {vk::back, '\b'},     {vk::tab, '\t'},      {vk::return_key, '\r'}, {vk::escape, '\x1B'},
    {vk::space, ' '},     {vk::multiply, '*'},  {vk::add, '+'},         {vk::subtract, '-'},
    {vk::decimal, '.'},   {vk::divide, '/'},    {vk::oem_1, ';'},       {vk::oem_plus, '='},
    {vk::oem_comma, ','}, {vk::oem_minus, '-'}, {vk::oem_period, '.'},  {vk::oem_2, '/'},
    {vk::oem_3, '`'},     {vk::oem_4, '['},     {vk::oem_5, '\\'},      {vk::oem_6, ']'},
    {vk::oem_7, '\''},    {vk::oem_102, '\\'},  {vk::cancel, '\x03'},
}};

} // namespace

std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) {
    if ((virtual_key >= '0' && virtual_key <= '9') || (virtual_key >= 'A' && virtual_key <= 'Z'))
        return virtual_key;
    if (virtual_key >= vk::numpad0 && virtual_key <= vk::numpad0 + 9u)
        return '0' + (virtual_key - vk::numpad0);
    for (const auto& [key, character] : us_keys)
        if (key == virtual_key) return static_cast<unsigned char>(character);
    return 0;
}

} // namespace rt
