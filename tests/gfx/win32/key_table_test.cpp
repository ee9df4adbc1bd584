// Every row of the shared key table, typed through SendInput into a GDI screen's window: the
// system turns the input into key messages with their key state, TranslateMessage makes the
// character messages, and the window layer must give what the table says.

#include "gfx/win32/gdi_screen.h"
#include "gfx/window/key_table.h"

namespace {

using namespace zered;
using namespace gditest;
using namespace keytable;

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

struct Typed {
    std::vector<std::int32_t> codes;
    EventFields events;
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
        const Modifier modifiers[] = {
            {ctrl, VK_CONTROL, 0x1D}, {alt, VK_MENU, 0x38}, {shift, VK_SHIFT, 0x2A}};
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
                if (!row_event(e.field1)) continue;
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
        const Typed expected{row.codes, expected_events(row)};
        if (row.wine_differs) {
            // A difference of Wine's, not of ours: it must still be there, or the mark is stale.
            EXPECT_NE(typed, expected) << "Wine now agrees; the mark can go: " << row.wine_differs;
            continue;
        }
        EXPECT_EQ(typed.codes, expected.codes);
        EXPECT_EQ(typed.events, expected.events);
    }
}

} // namespace
