#include "runtime/key_layout.h"
#include "runtime/key_tables.h"

#include <windows.h>

namespace rt {

// Our names for the modifier bits and virtual keys must be the platform's numbers.
static_assert(KEYMOD_RIGHT_ALT == RIGHT_ALT_PRESSED && KEYMOD_LEFT_ALT == LEFT_ALT_PRESSED);
static_assert(KEYMOD_RIGHT_CTRL == RIGHT_CTRL_PRESSED && KEYMOD_LEFT_CTRL == LEFT_CTRL_PRESSED);
static_assert(KEYMOD_SHIFT == SHIFT_PRESSED && KEYMOD_ENHANCED == ENHANCED_KEY);
static_assert(vk::return_key == VK_RETURN && vk::menu == VK_MENU && vk::escape == VK_ESCAPE);
static_assert(vk::prior == VK_PRIOR && vk::delete_key == VK_DELETE && vk::apps == VK_APPS);
static_assert(vk::numpad0 == VK_NUMPAD0 && vk::divide == VK_DIVIDE && vk::f12 == VK_F12);
static_assert(vk::numlock == VK_NUMLOCK && vk::scroll == VK_SCROLL && vk::oem_1 == VK_OEM_1);
static_assert(vk::oem_7 == VK_OEM_7 && vk::oem_102 == VK_OEM_102);

std::uint32_t map_virtual_key_char(std::uint32_t virtual_key) {
    return ::MapVirtualKeyA(virtual_key, MAPVK_VK_TO_CHAR);
}

} // namespace rt
