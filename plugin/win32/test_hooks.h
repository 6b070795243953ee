// Fault injection for the Wine tests, compiled only into the test build of the plug-in
// (vis_quorbel_test.dll): QUORBEL_TEST_FAULT=flame or =wave makes that guarded frame step write
// through a null pointer on every frame; QUORBEL_TEST_FAULT_FRAMES=N limits it to N frames.
#pragma once

void installTestHooks();
void removeTestHooks();
