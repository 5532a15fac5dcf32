// Stand-in for the browser engine's shared object: only its version entry
// points, with a version no real release carries.
extern "C" __attribute__((visibility("default"))) unsigned int webkit_get_major_version() {
    return 2;
}

extern "C" __attribute__((visibility("default"))) unsigned int webkit_get_minor_version() {
    return 42;
}
