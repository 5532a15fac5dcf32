#pragma once
// Marks the exported interface of ovmui; everything else stays hidden.
#if defined(OVMUI_BUILD)
#define OVMUI_API __attribute__((visibility("default")))
#else
#define OVMUI_API
#endif
