// Module entry: init and deinit through Linkage, the control variables,
// the PDK root and its services, and the reference ledger afterwards.
#include "test_support.h"

namespace {

using tp_test::ModuleTest;

class ModuleEntry : public ModuleTest {};

TEST_F(ModuleEntry, InitAttachesControlsAndAcquiresServices) {
    module->init();
    EXPECT_EQ(host.value("WZ_PDK"), 1.0);
    EXPECT_EQ(host.value("WZ_pSurface"), 1.0);
    EXPECT_EQ(host.subscriber_count(), 1u);
    shut_down_cleanly();
}

}  // namespace
