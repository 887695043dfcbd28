#pragma once
// Text conversions the engines know as WideCharToMultiByte and
// MultiByteToWideChar. On Linux the system's multibyte code page, both "OEM"
// and "ANSI", is UTF-8, so every character can be shown; ill-formed input
// (unpaired surrogates, invalid UTF-8) becomes U+FFFD.
#include <string>
#include <string_view>

#include "platform/byte_order.h"

namespace vantor {

// UTF-16LE bytes as stored on disk; an odd trailing byte is ignored.
std::string Utf16LeToUtf8(ByteSpan bytes);
std::string WideToUtf8(std::u16string_view text);
std::u16string Utf8ToWide(std::string_view text);

// The system code page conversions (UTF-8 here).
std::string WideToMultiByte(std::u16string_view text);
std::u16string MultiByteToWide(std::string_view text);

// Lower-cases A-Z only; other bytes, UTF-8 sequences included, stay as they are.
std::string AsciiLower(std::string text);

}  // namespace vantor
