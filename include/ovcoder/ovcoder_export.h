#pragma once
// Marks the exported interface of ovcoder; everything else stays hidden.
#if defined(OVCODER_BUILD)
#define OVCODER_API __attribute__((visibility("default")))
#else
#define OVCODER_API
#endif
