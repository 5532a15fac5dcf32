#pragma once
// One free-form text document stored in the ANSI code page in a scrambled
// file with a keyed checksum.
#include <cstddef>
#include <string>

#include "ovcoder/ovcoder_export.h"

class OVCODER_API CEncodeFile {
public:
    // An empty document.
    CEncodeFile();
    virtual ~CEncodeFile();
    // Copies hold their own document.
    CEncodeFile(const CEncodeFile&);
    CEncodeFile& operator=(const CEncodeFile&);

    // Replaces the document by a copy of text (null: empty).
    void SetDoc(const char16_t* text);
    // The document; valid until the next change or destruction.
    const char16_t* GetDoc() const noexcept;

    // Writes the document to the file; 0 when it is empty or the file cannot be written.
    int WriteEncoded(const char16_t* path);
    // Replaces the document by the one stored in the file; 0 and nothing changed on failure.
    int ReadEncoded(const char16_t* path);

    // Scrambles the first size / 2 bytes of text in the thread's ANSI code page
    // (with its terminator, zeros after it) into out (size bytes); bytes written.
    int EncodeStringToByte(const char16_t* text, int size, unsigned char* out) const noexcept;
    // Unscrambles length body bytes into text; the number of code units decoded.
    int DecodeByteToString(const unsigned char* bytes, std::size_t length, std::u16string& text) const noexcept;

protected:
    // Keyed checksum of length bytes.
    unsigned int GetCheckSum(const unsigned char* bytes, std::size_t length) const noexcept;

private:
    std::u16string m_doc;
};
