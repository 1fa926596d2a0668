#pragma once

// kels11n is built with hidden visibility; only what its interface needs is exported.
#define S11N_EXPORT __attribute__((visibility("default")))
