#pragma once
// The raw signature table: one row per signature of a file type, read from
// rp.dat (plain markup, or LZNT1-compressed with every byte shifted up by
// one), in file order, which decides the type when several rows match.
// Patterns are lower-case hex texts compared with the bytes of a sector as
// if printed with "%02x": "|" separates alternatives, an odd final digit
// compares the next byte's high nibble only, any other character (upper-case
// digits too) never matches.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace vantor {

inline constexpr size_t kRawExtensionField = 12;
inline constexpr size_t kRawDescriptionField = 52;
inline constexpr size_t kRawPatternField = 512;
inline constexpr int kRawMaxPatterns = 3;

// One alternative of a pattern, as bytes.
struct RawAlternative {
    std::vector<uint8_t> bytes;  // whole bytes
    bool halfByte = false;       // one more digit: the next byte's high nibble
    uint8_t high = 0;            // that nibble, in the high four bits
    bool never = false;          // holds a character no printed byte has

    size_t span() const { return bytes.size() + (halfByte ? 1 : 0); }
};

struct RawPattern {
    std::string text;
    int32_t offset = 0;
    std::vector<RawAlternative> alternatives;

    // Whether the bytes at `at` of data match; bytes past the end do not.
    bool matchesAt(ByteSpan data, size_t at) const;
};

RawPattern CompilePattern(const std::string& text, int32_t offset);

struct RawSignature {
    std::string extension;    // without the dot, at most 11 characters
    std::string description;  // at most 51 characters
    std::vector<RawPattern> patterns;  // 1 to 3
    bool enabled = true;
};

struct RawSignatureTable {
    std::vector<std::unique_ptr<RawSignature>> rows;
    // What the "Set Quick Search..." dialog edits (0 = not set).
    uint32_t startSector = 0;
    uint32_t endSector = 0;
    uint32_t maxSizeKB = 0;
    // Cut files where their format says they end (else at the next header).
    bool formatEnds = true;

    bool empty() const { return rows.empty(); }
    bool anyEnabled() const;
    // Enables exactly the rows whose extension is listed (case-insensitive);
    // returns the listed extensions no row has.
    std::vector<std::string> enableOnly(const std::vector<std::string>& extensions);
};

// The raw options dialog's list: the table's rows, less each row whose
// description repeats the one before it (a type with several signatures is
// listed once).
std::vector<size_t> RawListedRows(const RawSignatureTable& table);
// A listed row's tick goes to it and every later row of its description.
void SetRawTypeEnabled(RawSignatureTable& table, size_t row, bool on);

// The raw options dialog's checks of a sector range against the
// partition's first and last sector, in its order; "" when the range holds.
std::string RawRangeProblem(int64_t start, int64_t end, uint32_t partitionFirst, uint32_t partitionLast);

// The file read in text mode: CR LF becomes LF and a 0x1A byte ends it.
std::vector<std::byte> TextModeBytes(ByteSpan file);

// Decodes rp.dat's bytes (after the text-mode read) and appends one row per
// signature element. False, with error set and the table unchanged, when the
// data is not a table; entries outside the table's limits are skipped and
// named in warnings.
bool ParseSignatures(ByteSpan data, RawSignatureTable& table, std::string& error,
                     std::vector<std::string>* warnings = nullptr);
// Reads the file at path whole and parses it; a missing file is an error.
bool LoadSignatures(const std::string& path, RawSignatureTable& table, std::string& error,
                    std::vector<std::string>* warnings = nullptr);
// Where rp.dat is looked for: $VANTOR_RP_DAT, else the working folder, else
// beside the executable, else the installed resources.
std::string FindSignatureFile();

// The compressed form: text shifted up by one, then LZNT1.
std::vector<std::byte> EncodeSignatureFile(const std::string& markup);

}  // namespace vantor
