// The thread keyboard hook: key presses reach ActiveKeyboard's KeyDown once,
// a cleared key code swallows the stroke, releases and nested strokes pass
// on untouched, a new Hook replaces the old one, a released Keyboard clears
// ActiveKeyboard whichever it was, and every thread has its own.
#include "keyboard/Keyboard.h"

#include "platform/AutomationError.h"
#include "platform/simulated/SimulatedHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace fillahead {
namespace {

class Recorder final : public KeyboardEvents {
public:
    std::vector<std::int32_t> keys;
    std::function<void(std::int32_t& KeyCode)> act;
    void KeyDown(std::int32_t& KeyCode, std::int32_t& Shift) override {
        keys.push_back(KeyCode);
        Shift = -1; // dropped by the caller
        if (act) {
            act(KeyCode);
        }
    }
};

// A hook of someone else's, installed before ours: further down the chain.
std::vector<std::uintptr_t> seenDownTheChain;
std::shared_ptr<SimulatedHostWindows> foreignService;
std::intptr_t foreignHook(std::int32_t nCode, std::uintptr_t wParam, std::intptr_t lParam) {
    seenDownTheChain.push_back(wParam);
    return foreignService->CallNextHookEx(0, nCode, wParam, lParam);
}

class KeyboardHook : public ::testing::Test {
protected:
    void SetUp() override {
        seenDownTheChain.clear();
        foreignService = windows;
    }
    void TearDown() override {
        ModKeyboard::ClearActiveKeyboard();
        foreignService.reset();
    }
    std::shared_ptr<Keyboard> hooked(Recorder& recorder) {
        auto keyboard = Keyboard::Create(windows);
        keyboard->Advise(&recorder);
        keyboard->Hook();
        return keyboard;
    }

    std::shared_ptr<SimulatedHostWindows> windows =
        std::make_shared<SimulatedHostWindows>(std::make_shared<SimulatedDesktop>());
    Recorder recorder;
};

TEST_F(KeyboardHook, KeyPressesReachKeyDownAndAClearedCodeSwallowsTheStroke) {
    windows->SetKeyboardHook(&foreignHook);
    auto keyboard = hooked(recorder);
    recorder.act = [](std::int32_t& code) {
        if (code == 'B') {
            code = 0;
        } else if (code == 'C') {
            code = 'D';
        }
    };
    EXPECT_TRUE(windows->PressKey('A'));
    EXPECT_FALSE(windows->PressKey('B'));
    // A replaced code is what later hooks see; the stroke itself goes on.
    EXPECT_TRUE(windows->PressKey('C'));
    EXPECT_EQ(recorder.keys, (std::vector<std::int32_t>{'A', 'B', 'C'}));
    EXPECT_EQ(seenDownTheChain, (std::vector<std::uintptr_t>{'A', 'D'}));
}

TEST_F(KeyboardHook, ReleasesNestedStrokesAndNegativeCodesPassOnUntouched) {
    auto keyboard = hooked(recorder);
    EXPECT_TRUE(windows->ReleaseKey('A'));
    EXPECT_EQ(ModKeyboard::HookProcedure(-1, 'A', 0), 0);
    EXPECT_TRUE(recorder.keys.empty());

    // A key that arrives while one is being handled (a message loop run from
    // inside the handler) is not handed over a second time.
    bool nestedDelivered = false;
    bool inHookWhileHandling = false;
    recorder.act = [&](std::int32_t& code) {
        inHookWhileHandling = ModKeyboard::InHook();
        if (code == 'A') {
            nestedDelivered = windows->PressKey('N');
        }
        code = 0;
    };
    EXPECT_FALSE(windows->PressKey('A'));
    EXPECT_TRUE(nestedDelivered);
    EXPECT_TRUE(inHookWhileHandling);
    EXPECT_FALSE(ModKeyboard::InHook());
    EXPECT_EQ(recorder.keys, (std::vector<std::int32_t>{'A'}));
}

TEST_F(KeyboardHook, HookTwiceReplacesTheFirstAndAReleasedKeyboardUnhooks) {
    auto keyboard = hooked(recorder);
    const HookHandle first = keyboard->hookHandle();
    keyboard->Hook();
    EXPECT_NE(keyboard->hookHandle(), first);
    EXPECT_EQ(ModKeyboard::ActiveHookHandle(), keyboard->hookHandle());
    EXPECT_EQ(windows->HookCount(), 1u);
    keyboard->UnHook();
    EXPECT_EQ(windows->HookCount(), 0u);
    EXPECT_NE(keyboard->hookHandle(), 0u) << "the handle is kept";

    keyboard->Hook();
    ModKeyboard::ClearActiveKeyboard();
    keyboard.reset();
    EXPECT_EQ(windows->HookCount(), 0u);
}

TEST_F(KeyboardHook, TwoKeyboardsHandEachKeyOnceAndEitherReleaseClearsActiveKeyboard) {
    Recorder older;
    auto first = hooked(older);
    auto second = hooked(recorder);
    EXPECT_EQ(ModKeyboard::ActiveKeyboard(), second);
    EXPECT_TRUE(windows->PressKey('A'));
    EXPECT_EQ(recorder.keys, std::vector<std::int32_t>{'A'}) << "once, though two hooks see it";
    EXPECT_TRUE(older.keys.empty());

    // Releasing the older one clears the newer one as ActiveKeyboard.
    first->UnHook();
    first.reset();
    EXPECT_EQ(ModKeyboard::ActiveKeyboard(), nullptr);
    EXPECT_EQ(windows->HookCount(), 1u);
    EXPECT_TRUE(windows->PressKey('B'));
    EXPECT_EQ(recorder.keys, std::vector<std::int32_t>{'A'});
}

TEST_F(KeyboardHook, AFailingHandlerOrARefusedHookLetsKeysThrough) {
    auto keyboard = hooked(recorder);
    recorder.act = [](std::int32_t& code) {
        code = 0;
        throw AutomationError(error::ObjectNotSet);
    };
    EXPECT_TRUE(windows->PressKey('A'));

    windows->refuseHooks = true;
    keyboard->Hook();
    EXPECT_EQ(keyboard->hookHandle(), 0u);
    EXPECT_EQ(windows->HookCount(), 0u);
    keyboard->UnHook();
}

TEST_F(KeyboardHook, EachThreadHasItsOwnActiveKeyboard) {
    auto keyboard = hooked(recorder);
    std::vector<std::int32_t> otherKeys;
    bool otherSawNone = false;
    std::thread other([&] {
        otherSawNone = ModKeyboard::ActiveKeyboard() == nullptr;
        Recorder mine;
        auto theirs = hooked(mine);
        windows->PressKey('T');
        otherKeys = mine.keys;
        ModKeyboard::ClearActiveKeyboard();
        theirs->UnHook();
    });
    other.join();
    EXPECT_TRUE(otherSawNone);
    EXPECT_EQ(otherKeys, std::vector<std::int32_t>{'T'});
    EXPECT_EQ(ModKeyboard::ActiveKeyboard(), keyboard);
    EXPECT_TRUE(windows->PressKey('M'));
    EXPECT_EQ(recorder.keys, std::vector<std::int32_t>{'M'});
}

} // namespace
} // namespace fillahead
