#pragma once

// kelqt is built with hidden visibility; only its interface is exported.
#define KELQT_EXPORT __attribute__((visibility("default")))
