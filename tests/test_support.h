// Shared fixtures: a simulated host with the module loaded from the build,
// and small helpers for waiting on what the worker does.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "hostsim/gauge_system.h"
#include "hostsim/host.h"
#include "hostsim/module.h"
#include "hostsim/terrain.h"
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

// Ground whose every query is held until the test lets it go: the test
// then knows that a worker is inside the surface service's call, where a
// hanging surface only shows the worker's last call before it.
class HeldTerrain : public hostsim::Terrain {
public:
    double elevation_feet(double, double) const override {
        std::unique_lock<std::mutex> hold(lock_);
        held_ = true;
        released_.wait(hold, [this] { return free_; });
        return 100.0;
    }
    bool held() const {
        std::lock_guard<std::mutex> hold(lock_);
        return held_;
    }
    void release() const {
        std::lock_guard<std::mutex> hold(lock_);
        free_ = true;
        released_.notify_all();
    }

private:
    mutable std::mutex lock_;
    mutable std::condition_variable released_;
    mutable bool held_ = false, free_ = false;
};

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
