#pragma once
// The layout check a module file passes before the loader maps it.
#include "platform/stored_file.h"

namespace ov::detail {

// True when file is a shared object of this machine and word size whose
// headers, segments and sections all lie inside the file. The loader maps
// segments without comparing them with the file's size, so a module cut short
// would make the program fault on the first missing page.
bool ModuleImageFits(const StoredFile& file);

}  // namespace ov::detail
