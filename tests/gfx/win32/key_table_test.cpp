// Every row of the shared key table, typed through SendInput into a GDI screen's window: the
// system turns the input into key messages with their key state, TranslateMessage makes the
// character messages, and the window layer must give what the table says.
#include <string>

#include "gfx/win32/gdi_screen.h"
#include "gfx/window/key_table.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace keytable;

std::string describe(const Row& row) {
    std::string name;
    if (row.modifiers & ctrl) name += "Ctrl+";
    if (row.modifiers & alt) name += "Alt+";
    if (row.modifiers & shift) name += "Shift+";
    return name + row.key.name;
}

void send_key(WORD virtual_key, WORD scan_code, bool extended, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = scan_code;
    input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0u) | (release ? KEYEVENTF_KEYUP : 0u);
    ::SendInput(1, &input, sizeof input);
}

void send_key(const Key& key, bool release) {
    send_key(key.virtual_key, key.scan_code, key.extended, release);
}

// Each key event as its type, scan code and character.
using Fields = std::vector<std::vector<std::int32_t>>;

struct Typed {
    std::vector<std::int32_t> codes;
    Fields events;
    bool operator==(const Typed&) const = default;
};

class KeyTable : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(gdi.init_result(), 0);
        ::SetForegroundWindow(gdi.window());
        ASSERT_TRUE(eventually([this] {
            gdi.settle();
            return ::GetForegroundWindow() == gdi.window() && window_state().active == 1;
        }));
        gdi.settle();
        take_events();
        take_keys();
    }

    // Types the row's key with its modifiers, then F12; false if F12's release never came.
    bool type(const Row& row, Typed& typed) {
        struct Modifier {
            unsigned bit;
            WORD virtual_key, scan_code;
        };
        const Modifier modifiers[] = {{ctrl, VK_CONTROL, 0x1D}, {alt, VK_MENU, 0x38},
                                      {shift, VK_SHIFT, 0x2A}};
        for (const Modifier& m : modifiers)
            if (row.modifiers & m.bit) send_key(m.virtual_key, m.scan_code, false, false);
        send_key(row.key, false);
        send_key(row.key, true);
        for (int i = 2; i >= 0; --i)
            if (row.modifiers & modifiers[i].bit)
                send_key(modifiers[i].virtual_key, modifiers[i].scan_code, false, true);
        send_key(key_f12, false);
        send_key(key_f12, true);

        bool done = false;
        eventually([&] {
            for (const Event& e : take_events()) {
                if (e.type == EVENT_KEY_RELEASED && e.field1 == key_f12.scan_code) done = true;
                // The modifier keys' own events (Ctrl 29, Shift 42) and F12's are not the row's.
                if (e.field1 == 29 || e.field1 == 42 || e.field1 == key_f12.scan_code) continue;
                typed.events.push_back({e.type, e.field1, e.field2});
            }
            return done;
        });
        gdi.settle();
        typed.codes = take_keys();
        if (!typed.codes.empty() && typed.codes.back() == f12_code) typed.codes.pop_back();
        return done;
    }

    GdiScreen gdi{{.width = 400, .height = 80}};
};

TEST_F(KeyTable, EveryKeyGivesWhatTheTableSays) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(describe(row));
        Typed typed;
        ASSERT_TRUE(type(row, typed)) << "F12 after the key never came";
        Typed expected{row.codes, {}};
        if (row.scan_code != no_event)
            expected.events = {{EVENT_KEY_PRESSED, row.scan_code, row.character},
                               {EVENT_KEY_RELEASED, row.scan_code, row.character}};
        if (row.wine_differs) {
            // A difference of Wine's, not of ours: it must still be there, or the mark is stale.
            EXPECT_NE(typed, expected) << "Wine now agrees; the row's mark can go";
            continue;
        }
        EXPECT_EQ(typed.codes, expected.codes);
        EXPECT_EQ(typed.events, expected.events);
    }
}

} // namespace
