#include "raw/raw_signature.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/lznt1.h"
#include "raw/raw_markup.h"

namespace vantor {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;  // upper case too: printed bytes are lower case
}

RawAlternative CompileAlternative(const std::string& text) {
    RawAlternative alt;
    if (text.empty()) alt.never = true;
    for (size_t i = 0; i < text.size() && !alt.never; i += 2) {
        const int hi = HexDigit(text[i]);
        if (hi < 0) {
            alt.never = true;
            break;
        }
        if (i + 1 == text.size()) {
            alt.halfByte = true;
            alt.high = static_cast<uint8_t>(hi << 4);
            break;
        }
        const int lo = HexDigit(text[i + 1]);
        if (lo < 0) alt.never = true;
        else alt.bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return alt;
}

const MarkupNode* Child(const MarkupNode& n, size_t i) {
    return i < n.children.size() ? n.children[i].get() : nullptr;
}

// An element's text: its one text child.
bool ElementText(const MarkupNode* n, std::string& out) {
    if (!n || n->kind != MarkupKind::Element) return false;
    for (const auto& c : n->children)
        if (c->kind == MarkupKind::Text) {
            out = c->value;
            return true;
        }
    out.clear();
    return true;
}

bool ParseDecimal(const std::string& text, int32_t& out) {
    if (text.empty() || text.size() > 9) return false;
    int32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\n\r");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\n\r");
    return s.substr(a, b - a + 1);
}

// An extension names a folder and ends a file name: no separators, no dots.
bool SafeExtension(const std::string& ext) {
    if (ext.empty()) return false;
    return std::all_of(ext.begin(), ext.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

// One signature element into a row; why not, when it is outside the limits.
std::string MakeRow(const MarkupNode& sig, const std::string& ext, const std::string& desc, RawSignature& row) {
    const MarkupNode* count = Child(sig, 0);
    int32_t n = 0;
    if (!count || count->kind != MarkupKind::Attribute || !ParseDecimal(Trim(count->value), n))
        return "no pattern count";
    if (n < 1 || n > kRawMaxPatterns) return "pattern count " + std::to_string(n) + " (1 to 3 allowed)";
    row.extension = ext;
    row.description = desc;
    for (int32_t i = 0; i < n; ++i) {
        const MarkupNode* p = Child(sig, static_cast<size_t>(i) + 1);
        if (!p || p->kind != MarkupKind::Element) return "fewer patterns than its count";
        const MarkupNode* off = Child(*p, 0);
        const MarkupNode* text = Child(*p, 1);
        int32_t offset = 0;
        if (!off || off->kind != MarkupKind::Attribute || !ParseDecimal(Trim(off->value), offset))
            return "a pattern without an offset";
        if (!text || text->kind != MarkupKind::Text) return "a pattern without text";
        const std::string t = Trim(text->value);
        if (t.empty()) return "an empty pattern";
        if (t.size() >= kRawPatternField) return "a pattern of 512 characters or more";
        row.patterns.push_back(CompilePattern(t, offset));
    }
    return {};
}

}  // namespace

bool RawPattern::matchesAt(ByteSpan data, size_t at) const {
    for (const RawAlternative& a : alternatives) {
        if (a.never || at > data.size() || data.size() - at < a.span()) continue;
        const auto* p = reinterpret_cast<const uint8_t*>(data.data()) + at;
        if (!std::equal(a.bytes.begin(), a.bytes.end(), p)) continue;
        if (a.halfByte && (p[a.bytes.size()] & 0xF0) != a.high) continue;
        return true;
    }
    return false;
}

RawPattern CompilePattern(const std::string& text, int32_t offset) {
    RawPattern p;
    p.text = text;
    p.offset = offset;
    size_t start = 0;
    while (true) {
        const size_t bar = text.find('|', start);
        p.alternatives.push_back(CompileAlternative(text.substr(start, bar == std::string::npos ? bar : bar - start)));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return p;
}

bool RawSignatureTable::anyEnabled() const {
    return std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r->enabled; });
}

std::vector<std::string> RawSignatureTable::enableOnly(const std::vector<std::string>& extensions) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::vector<std::string> unknown;
    for (const auto& r : rows) r->enabled = false;
    for (const std::string& e : extensions) {
        bool any = false;
        for (const auto& r : rows)
            if (lower(r->extension) == lower(e)) r->enabled = any = true;
        if (!any) unknown.push_back(e);
    }
    return unknown;
}

std::vector<size_t> RawListedRows(const RawSignatureTable& table) {
    std::vector<size_t> out;
    for (size_t i = 0; i < table.rows.size(); ++i)
        if (i == 0 || table.rows[i]->description != table.rows[i - 1]->description) out.push_back(i);
    return out;
}

void SetRawTypeEnabled(RawSignatureTable& table, size_t row, bool on) {
    if (row >= table.rows.size()) return;
    const std::string description = table.rows[row]->description;
    for (size_t i = row; i < table.rows.size(); ++i)
        if (table.rows[i]->description == description) table.rows[i]->enabled = on;
}

std::string RawRangeProblem(int64_t start, int64_t end, uint32_t partitionFirst, uint32_t partitionLast) {
    char text[96];
    if (start < partitionFirst) {
        std::snprintf(text, sizeof text, "Start sector is not valid. This must be bigger than %u", partitionFirst);
        return text;
    }
    if (end > partitionLast) {
        std::snprintf(text, sizeof text, "End sector is not valid. This must be less than %u", partitionLast);
        return text;
    }
    if (start >= end) return "Start sector must be less than end sector";
    return {};
}

std::vector<std::byte> TextModeBytes(ByteSpan file) {
    std::vector<std::byte> out;
    out.reserve(file.size());
    for (size_t i = 0; i < file.size(); ++i) {
        const auto c = static_cast<uint8_t>(file[i]);
        if (c == 0x1A) break;
        if (c == '\r' && i + 1 < file.size() && static_cast<uint8_t>(file[i + 1]) == '\n') continue;
        out.push_back(file[i]);
    }
    return out;
}

bool ParseSignatures(ByteSpan data, RawSignatureTable& table, std::string& error, std::vector<std::string>* warnings) {
    if (data.empty()) {
        error = "rp.dat is empty";
        return false;
    }
    std::string text;
    if (static_cast<char>(data[0]) == '<') {
        text.assign(reinterpret_cast<const char*>(data.data()), data.size());
    } else {
        // A buffer 16 times the file, as the system's routine is given.
        std::vector<std::byte> out(std::min<size_t>(data.size() * 16, size_t{64} << 20));
        size_t produced = 0;
        if (Lznt1Decompress(data, out, produced) != kSuccess || produced == 0) {
            error = "rp.dat is neither markup nor a compressed table";
            return false;
        }
        text.resize(produced);
        for (size_t i = 0; i < produced; ++i) text[i] = static_cast<char>(static_cast<uint8_t>(out[i]) - 1);
    }
    std::string why;
    const auto root = ParseMarkup(text, why);
    if (!root) {
        error = "rp.dat is malformed: " + why;
        return false;
    }
    const MarkupNode* tableEl = nullptr;
    for (const auto& c : root->children)
        if (c->kind == MarkupKind::Element) {
            tableEl = c.get();
            break;
        }
    if (!tableEl) {
        error = "rp.dat holds no table element";
        return false;
    }
    std::vector<std::unique_ptr<RawSignature>> rows;
    for (size_t t = 1; t < tableEl->children.size(); ++t) {
        const MarkupNode& type = *tableEl->children[t];
        if (type.kind != MarkupKind::Element) continue;
        std::string ext, desc;
        if (!ElementText(Child(type, 0), ext) || !ElementText(Child(type, 1), desc)) {
            if (warnings) warnings->push_back("a type without extension and description");
            continue;
        }
        ext = Trim(ext);
        desc = Trim(desc);
        if (ext.size() >= kRawExtensionField || !SafeExtension(ext)) {
            if (warnings) warnings->push_back("type '" + ext + "': not a usable extension");
            continue;
        }
        if (desc.size() >= kRawDescriptionField) {
            if (warnings) warnings->push_back("type '" + ext + "': a description of 52 characters or more");
            continue;
        }
        for (size_t s = 2; s < type.children.size(); ++s) {
            auto row = std::make_unique<RawSignature>();
            const std::string bad = MakeRow(*type.children[s], ext, desc, *row);
            if (!bad.empty()) {
                if (warnings) warnings->push_back("type '" + ext + "': " + bad);
                continue;
            }
            rows.push_back(std::move(row));
        }
    }
    if (rows.empty()) {
        error = "rp.dat holds no usable signature";
        return false;
    }
    for (auto& r : rows) table.rows.push_back(std::move(r));
    return true;
}

bool LoadSignatures(const std::string& path, RawSignatureTable& table, std::string& error,
                    std::vector<std::string>* warnings) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the signature table '" + path + "'";
        return false;
    }
    // A table is a few kilobytes; anything past 16 MiB is not one.
    std::vector<char> raw;
    raw.resize(16u << 20);
    in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    raw.resize(static_cast<size_t>(in.gcount()));
    const ByteSpan file(reinterpret_cast<const std::byte*>(raw.data()), raw.size());
    const auto bytes = TextModeBytes(file);
    bool ok = ParseSignatures(bytes, table, error, warnings);
    // A compressed table whose bytes hold CR LF or 0x1A does not survive the
    // text-mode read; it is taken as written then.
    if (!ok && !raw.empty() && raw[0] != '<' && bytes.size() != raw.size()) {
        std::string second;
        ok = ParseSignatures(file, table, second, warnings);
    }
    if (!ok) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

std::string FindSignatureFile() {
    if (const char* env = std::getenv("VANTOR_RP_DAT"); env && *env) return env;
    std::vector<std::string> places{"rp.dat"};
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string dir(self, static_cast<size_t>(n));
        dir.resize(dir.rfind('/') + 1);
        places.push_back(dir + "rp.dat");
        places.push_back(dir + "../share/vantor/rp.dat");
    }
    for (const auto& p : places)
        if (::access(p.c_str(), R_OK) == 0) return p;
    return "rp.dat";
}

std::vector<std::byte> EncodeSignatureFile(const std::string& markup) {
    std::vector<std::byte> shifted(markup.size());
    for (size_t i = 0; i < markup.size(); ++i)
        shifted[i] = static_cast<std::byte>(static_cast<uint8_t>(markup[i]) + 1);
    return Lznt1Compress(shifted);
}

}  // namespace vantor
