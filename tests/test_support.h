// Shared fixtures: a simulated host with the module loaded from the build,
// and small helpers for waiting on what the worker does.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostsim/gauge_system.h"
#include "hostsim/host.h"
#include "hostsim/module.h"
#include "tests/polling.h"

namespace tp_test {

// The faults hostsim has seen of the module's, "" for none.
inline std::string fault_report(const hostsim::Host& host) {
    std::string seen;
    for (const std::string& fault : host.faults()) seen += fault + "; ";
    return seen;
}

// Every test ends with hostsim having seen no fault of the module's.
inline void expect_no_faults(const hostsim::Host& host) { EXPECT_EQ(fault_report(host), ""); }

// A host with the module loaded but not yet initialised, so a test can
// set refusals first.
class ModuleTest : public ::testing::Test {
protected:
    ModuleTest() : module(std::make_unique<hostsim::Module>(host, hostsim::default_module_path())) {}
    ~ModuleTest() override {
        if (module && module->initialised()) module->deinit();
        expect_no_faults(host);
    }

    // Deinit, then unload, then the ledger must be back at zero.
    void shut_down_cleanly() {
        module->deinit();
        module.reset();
        EXPECT_EQ(host.ledger().report(), "");
        EXPECT_EQ(host.ledger().outstanding(), 0);
        EXPECT_TRUE(host.traps().empty());
    }

    hostsim::Host host;
    std::unique_ptr<hostsim::Module> module;
};

}  // namespace tp_test
