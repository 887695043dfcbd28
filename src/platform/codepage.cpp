#include "platform/codepage.h"

#include <cstdint>

namespace vantor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void appendUtf8(std::string& s, char32_t cp) {
    if (cp < 0x80) {
        s.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(std::u16string& w, char32_t cp) {
    if (cp < 0x10000) {
        w.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        w.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
        w.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
}

}  // namespace

std::string WideToUtf8(std::u16string_view text) {
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(s, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            appendUtf8(s, kReplacement);
        } else {
            appendUtf8(s, u);
        }
    }
    return s;
}

std::string Utf16LeToUtf8(ByteSpan bytes) {
    std::u16string w;
    w.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) w.push_back(static_cast<char16_t>(readLe16(bytes, i)));
    return WideToUtf8(w);
}

// Well-formed UTF-8 only: no overlong forms, no encoded surrogates, nothing
// past U+10FFFF. An ill-formed sequence gives one U+FFFD for its longest
// valid-looking prefix (or for the single bad byte), then decoding resumes.
std::u16string Utf8ToWide(std::string_view text) {
    std::u16string w;
    w.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b < 0x80) {
            w.push_back(b);
            ++i;
            continue;
        }
        size_t len = 0;
        uint8_t lo = 0x80;
        uint8_t hi = 0xBF;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            appendUtf16(w, kReplacement);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j < len && i + j < text.size(); ++j) {
            const auto c = static_cast<uint8_t>(text[i + j]);
            if (c < lo || c > hi) break;
            cp = (cp << 6) | (c & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        appendUtf16(w, j == len ? cp : kReplacement);
        i += j;
    }
    return w;
}

std::string WideToMultiByte(std::u16string_view text) { return WideToUtf8(text); }

std::u16string MultiByteToWide(std::string_view text) { return Utf8ToWide(text); }

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace vantor
