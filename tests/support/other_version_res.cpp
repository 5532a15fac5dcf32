// A French language module whose file version differs from the program's in
// its low part only (OV_OTHER_HIGH, OV_OTHER_LOW).
#define OTHER_EXPORT extern "C" __attribute__((visibility("default")))
#define OV_TEXT(x) #x
#define OV_NUMBER(x) OV_TEXT(x)

OTHER_EXPORT const char* GetLangStrID() {
    return "fr_fr";
}

OTHER_EXPORT const char16_t* OvResLoadString(unsigned int id) {
    return id == 57347 ? u"Ping" : nullptr;
}

__asm__(".pushsection .note.orvantek.version,\"a\",@note\n"
        ".balign 4\n"
        ".long 9\n"
        ".long 8\n"
        ".long 1\n"
        ".asciz \"Orvantek\"\n"
        ".balign 4\n"
        ".long " OV_NUMBER(OV_OTHER_HIGH) "\n"
        ".long " OV_NUMBER(OV_OTHER_LOW) "\n"
        ".popsection\n");
