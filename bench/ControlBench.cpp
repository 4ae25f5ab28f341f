// The control's tracking pass in its steady state (the focus stays, the host
// keeps the foreground, nothing was typed), as it runs ten times a second on
// every form that holds the control: a bound VB text box with the list hidden
// and shown, an Access text box (two reads of ActiveControl, names compared)
// and a polled .NET text box, on the simulated host.
#include "tests/control/ControlHarness.h"

#include <benchmark/benchmark.h>

namespace fillahead::bench {
namespace {

using testing::ControlHarness;

void steadyPass(benchmark::State& state, SimulatedForm::Host host, SimulatedKind kind,
                bool listShown) {
    ControlHarness h(host);
    auto box = h.form->Add(kind, u"Field1");
    h.placed();
    h.remember("Field1", {"apple", "apricot"});
    h.form->Focus(box);
    h.tick();
    if (listShown) {
        box->Type(u"ap");
        h.tick();
        if (!h.engine().Visible()) {
            state.SkipWithError("the list is not shown");
        }
    }
    const std::size_t lines = h.windows->debugOutput.size();
    for (auto _ : state) {
        h.control->LocalTimer_Timer();
    }
    if (h.windows->debugOutput.size() != lines || !h.control->CurrentControl()) {
        state.SkipWithError("the pass did not stay steady");
    }
}

void BM_SteadyPassTextBox(benchmark::State& state) {
    steadyPass(state, SimulatedForm::Host::VB, SimulatedKind::TextBox, false);
}
void BM_SteadyPassTextBoxListShown(benchmark::State& state) {
    steadyPass(state, SimulatedForm::Host::VB, SimulatedKind::TextBox, true);
}
void BM_SteadyPassAccessListShown(benchmark::State& state) {
    steadyPass(state, SimulatedForm::Host::Access, SimulatedKind::AccessTextBox, true);
}
void BM_SteadyPassNetTextBox(benchmark::State& state) {
    steadyPass(state, SimulatedForm::Host::DotNet, SimulatedKind::NetTextBox, false);
}

BENCHMARK(BM_SteadyPassTextBox);
BENCHMARK(BM_SteadyPassTextBoxListShown);
BENCHMARK(BM_SteadyPassAccessListShown);
BENCHMARK(BM_SteadyPassNetTextBox);

} // namespace
} // namespace fillahead::bench
