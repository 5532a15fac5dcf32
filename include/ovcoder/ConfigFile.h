#pragma once
// Named settings in sections, kept as a small XML document and stored in a
// scrambled file with a keyed checksum; a damaged file is refused as a whole.
#include <cstddef>
#include <string>

#include "OvXmlParser.h"
#include "ovcoder/ovcoder_export.h"
#include "platform/wintypes.h"

class OVCODER_API CConfigFile {
public:
    // An empty document.
    CConfigFile();
    virtual ~CConfigFile();
    CConfigFile(const CConfigFile&) = delete;
    CConfigFile& operator=(const CConfigFile&) = delete;

    // Value of section/key; 1 when the key exists, else 0 with value unchanged.
    int GetValue(const char16_t* section, const char16_t* key, std::u16string& value);
    // Value of section/key read as a signed decimal number.
    int GetValue(const char16_t* section, const char16_t* key, int& value);
    // Value of section/key read as a signed decimal number (so "-1" gives 4294967295).
    int GetValue(const char16_t* section, const char16_t* key, DWORD& value);
    // Stores value under section/key, creating both when absent; nonzero on success.
    int SetValue(const char16_t* section, const char16_t* key, const char16_t* value);
    // Stores value in signed decimal.
    int SetValue(const char16_t* section, const char16_t* key, int value);
    // Stores value in signed decimal (4294967295 is stored as "-1").
    int SetValue(const char16_t* section, const char16_t* key, DWORD value);

    // Replaces the document by the one stored in the file; 0 and nothing changed on failure.
    int ReadEncoded(const char16_t* path);
    // Writes the document to the file; 0 when it is empty or the file cannot be written.
    int WriteEncoded(const char16_t* path);

protected:
    // Keyed checksum of length bytes.
    DWORD GetCheckSum(const unsigned char* bytes, std::size_t length) const noexcept;
    // Scrambles the first size / 2 bytes of text's memory into out (size bytes); bytes written.
    int EncodeStringToByte(const char16_t* text, int size, unsigned char* out) const noexcept;
    // Unscrambles length body bytes into text; the number of code units decoded.
    int DecodeByteToString(const unsigned char* bytes, std::size_t length, std::u16string& text) const noexcept;

private:
    COvXmlParser m_xml;
};
