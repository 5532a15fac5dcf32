#pragma once
// The program's own Base64 alphabet: 64 symbols, the pad, and the closing
// zero (66 bytes). Start-up installs it in the coder library; every encoded
// text of the program (the web addresses among them) is written with it at
// build time and decoded with it at use.
inline constexpr char kOvBase64Alphabet[] = "XKGEWYp9Dx3vMsURi5fFlgybCNILjZH/hdkrnzwB0mJ1VT846oPQtq27AcOaS+eu=";

static_assert(sizeof(kOvBase64Alphabet) == 66, "64 symbols, the pad and the zero");
