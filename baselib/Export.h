#pragma once

// The library is built with hidden visibility; only what its interface needs is exported.
#define KELBASE_EXPORT __attribute__((visibility("default")))
