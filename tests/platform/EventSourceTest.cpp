#include "platform/EventSource.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fillahead {
namespace {

struct Listener {
    std::string name;
    std::string* trace;
    std::function<void()> action;
    void Heard(const char* event) {
        *trace += name + ":" + event + " ";
        if (action) {
            action();
        }
    }
};

TEST(EventSource, HandlersMayDisconnectAndConnectWhileAnEventIsFired) {
    std::string trace;
    EventSource<Listener> source;
    Listener a{"a", &trace, {}}, b{"b", &trace, {}}, c{"c", &trace, {}};
    source.Connect(&a);
    source.Connect(&b);
    source.Connect(&c);
    // a drops b (skipped at once) and itself, and connects b again: the new
    // connection hears the next event only.
    a.action = [&] {
        source.Disconnect(&b);
        source.Disconnect(&a);
        source.Connect(&b);
    };
    source.Fire([](Listener& l) { l.Heard("one"); });
    a.action = {};
    source.Fire([](Listener& l) { l.Heard("two"); });
    EXPECT_EQ(trace, "a:one c:one c:two b:two ");

    source.Connect(&c); // twice: hears twice, leaves one connection per Disconnect
    source.Disconnect(&c);
    trace.clear();
    source.Fire([](Listener& l) { l.Heard("three"); });
    EXPECT_EQ(trace, "c:three b:three ");
}

TEST(EventSource, AFailingHandlerNeitherEscapesNorSilencesTheOthers) {
    static std::vector<std::int32_t> reported;
    reported.clear();
    SetIgnoredErrorObserver(
        [](const AutomationError& failure, ErrorSite) { reported.push_back(failure.number()); });
    std::string trace;
    EventSource<Listener> source;
    Listener a{"a", &trace, [] { throw AutomationError(error::PermissionDenied); }};
    Listener b{"b", &trace, [] { throw std::runtime_error("a host's bug"); }};
    Listener c{"c", &trace, {}};
    source.Connect(&a);
    source.Connect(&b);
    source.Connect(&c);
    EXPECT_NO_THROW(source.Fire([](Listener& l) { l.Heard("x"); }));
    SetIgnoredErrorObserver(nullptr);
    EXPECT_EQ(trace, "a:x b:x c:x ");
    EXPECT_EQ(reported, (std::vector<std::int32_t>{error::PermissionDenied, error::HandlerFailed}));
}

// The owner of a source may die inside a handler (a host drops its last
// reference); the firing loop must not touch freed memory (the sanitizer
// build checks this).
TEST(EventSource, SurvivesItsOwnerDyingInsideAHandler) {
    struct Owner {
        EventSource<Listener> events;
    };
    std::string trace;
    auto owner = std::make_unique<Owner>();
    Listener a{"a", &trace, [&] { owner.reset(); }};
    Listener b{"b", &trace, {}};
    owner->events.Connect(&a);
    owner->events.Connect(&b);
    owner->events.Fire([](Listener& l) { l.Heard("bye"); });
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(trace, "a:bye b:bye ");
}

} // namespace
} // namespace fillahead
