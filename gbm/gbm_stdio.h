// Native extra of gbm for tests and fuzzing: hands an open stdio file (for example one from
// fmemopen) to the handle table. gbm_io_close closes it. Not part of gbm.dll's exports.
#pragma once
#include <cstdio>

extern "C" int gbm_io_attach(FILE* file);
