#pragma once
// Marks the exported interface of ovmfcstd; everything else stays hidden.
#if defined(OVMFCSTD_BUILD)
#define OVMFCSTD_API __attribute__((visibility("default")))
#else
#define OVMFCSTD_API
#endif
