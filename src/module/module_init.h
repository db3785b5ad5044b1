// The module's entry points, named by Linkage.
#pragma once

void module_init();
void module_deinit();
