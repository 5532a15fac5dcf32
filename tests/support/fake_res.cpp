// A stand-in language resource module for the formatter's tests: a few
// "translations" that drop or rename placeholders.
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT const char* GetLangStrID() {
    return "xx_xx";
}

FAKE_EXPORT const char16_t* OvResLoadString(unsigned int id) {
    switch (id) {
        case 33030:
            return u"Lost %d_a%";  // drops %d_b%
        case 33036:
            return u"%s_a% <%s_b%> %s_c%";
        case 33029:
            return u"Received %d_z%";  // a placeholder the default text lacks
        case 57344:
            return u"Fake Tool";
        case 500:
            return u"";  // an empty resource counts as missing
        default:
            return nullptr;
    }
}
