#pragma once
// The program's own English texts by message id.
#include <span>

// One message of the catalogue.
struct OV_MESSAGE {
    unsigned int id;
    const char16_t* text;
};

// Every message of the program in ascending id order.
std::span<const OV_MESSAGE> EnglishMessages() noexcept;
// English text of id, or null when the program has no such message.
const char16_t* EnglishString(unsigned int id) noexcept;
