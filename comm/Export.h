#pragma once

// kelcomm is built with hidden visibility; only what its interface needs is exported.
#define KELCOMM_EXPORT __attribute__((visibility("default")))
