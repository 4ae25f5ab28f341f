// EventSource: the connected sinks of one event interface, and the firing of
// its events. Every object that raises events (the engine, the list grid, the
// control) holds one; the COM connection points wrap it.
//
// Ownership: the source owns no sink. Whoever connects a sink disconnects it
// before the sink dies (a COM connection point holds a reference to the
// client's sink for exactly that time). Connecting the same sink twice makes
// it hear each event twice, as two COM advises would.
//
// Firing: each event goes to the sinks connected when it was raised, in the
// order they connected. A sink disconnected by an earlier handler of the same
// event is skipped; a sink connected meanwhile hears the next event. The
// source's own state outlives the firing even when a handler destroys the
// object that holds the source (its owner keeps itself alive for the public
// call that raised the event; this is the second line of defence).
//
// Failure: firing never lets an exception out. A handler that fails is
// reported to the swallowed-error observer (platform/AutomationError.h) with
// the place that raised the event, whatever it set (a Cancel, say) stands,
// the next sink still hears the event, and the object that raised it goes on
// as if the handler had returned. A host's failure is the host's business: it
// must not tear a commit half-way or skip the other listeners.
//
// Single-threaded: a source is used on its owner's thread only.
#pragma once

#include "platform/AutomationError.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace fillahead {

template <typename Sink>
class EventSource {
public:
    EventSource() : state_(std::make_shared<State>()) {}
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    void Connect(Sink* sink) {
        if (sink != nullptr) {
            state_->sinks.push_back({sink, ++state_->nextId});
        }
    }

    // Disconnects one connection of the sink (the latest); nothing when the
    // sink is not connected.
    void Disconnect(Sink* sink) {
        auto& sinks = state_->sinks;
        const auto it = std::find_if(sinks.rbegin(), sinks.rend(),
                                     [&](const Connection& c) { return c.sink == sink; });
        if (it != sinks.rend()) {
            sinks.erase(std::next(it).base());
        }
    }

    void DisconnectAll() { state_->sinks.clear(); }

    bool empty() const { return state_->sinks.empty(); }
    std::size_t size() const { return state_->sinks.size(); }

    // Calls call(sink) on every sink connected now that is still connected
    // when its turn comes.
    template <typename Call>
    void Fire(Call&& call, const char* file = __builtin_FILE(), int line = __builtin_LINE()) const {
        const std::shared_ptr<State> state = state_;
        const std::vector<Connection> snapshot = state->sinks;
        for (const Connection& connection : snapshot) {
            const bool stillConnected =
                std::any_of(state->sinks.begin(), state->sinks.end(),
                            [&](const Connection& c) { return c.id == connection.id; });
            if (!stillConnected) {
                continue;
            }
            try {
                call(*connection.sink);
            } catch (const AutomationError& failure) {
                reportIgnoredError(failure, ErrorSite{file, line});
            } catch (...) {
                reportIgnoredError(AutomationError(error::HandlerFailed), ErrorSite{file, line});
            }
        }
    }

private:
    struct Connection {
        Sink* sink;
        std::size_t id; // tells two connections of one sink apart
    };
    struct State {
        std::vector<Connection> sinks;
        std::size_t nextId = 0;
    };
    std::shared_ptr<State> state_;
};

} // namespace fillahead
