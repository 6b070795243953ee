// Hooks for the Wine tests, compiled only into the test build of the plug-in
// (vis_quorbel_test.dll):
// - QUORBEL_TEST_FAULT=flame, =wave or =copy makes that guarded frame step (copy: the frame
//   copy, while the back surface is locked) write through a null pointer on every frame;
//   QUORBEL_TEST_FAULT_FRAMES=N limits it to N frames, QUORBEL_TEST_FAULT_AT=N starts it at
//   frame N (default 1).
// - QUORBEL_TEST_LOSE_SURFACES_AT=N makes every surface report lost at frame N, before its frame
//   copy, as after a lock screen or another program's mode change: each answers
//   DDERR_SURFACELOST (Lock, GetDC, Blt, Flip, IsLost, SetPalette) until it is restored.
// - QUORBEL_TEST_SYSTEM_DPI=D plays a system whose display runs at D dpi (144 is 150 %), as Wine
//   does not: a thread that is not per-monitor DPI aware reads the monitors scaled down by
//   96 / D, as Windows gives them to such a thread.
// - QUORBEL_TEST_TRACE=FILE appends one line per rendered frame to FILE (relative to the
//   player's working folder): "frame=N level=L wave=W flame=F display=D palette=P
//   translation=T", the frame number counted from 1 since Init, this frame's bass level and the
//   live selection after the frame.
// - QUORBEL_TEST_FAIL_WAYS=LIST makes Init's ways of presenting named in the comma-separated
//   list fail before they are tried, with DDERR_UNSUPPORTED: "mode", "desktop", "window" and
//   "window640".
#pragma once

void installTestHooks();
void removeTestHooks();
// Called after every Render.
void traceFrame();
// The result a way of presenting (a PresentationWay as int) fails with before it is tried,
// 0 for none.
long testPresentationFailure(int way);
// QUORBEL_TEST_SYSTEM_DPI, 0 when not set.
int testSystemDpi();
// True once, at the frame QUORBEL_TEST_LOSE_SURFACES_AT names.
bool testLoseSurfacesNow();
