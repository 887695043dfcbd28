// rp.dat as a hostile file: either stored form, any markup. The load must
// end in a table within its limits or a message, never a crash.
#include <cstdlib>

#include "raw/raw_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const auto bytes = TextModeBytes(ByteSpan(reinterpret_cast<const std::byte*>(data), size));
    RawSignatureTable table;
    std::string error;
    std::vector<std::string> warnings;
    const bool ok = ParseSignatures(bytes, table, error, &warnings);
    if (ok == table.empty() || (!ok && error.empty())) std::abort();
    for (const auto& r : table.rows)
        if (r->extension.size() >= kRawExtensionField || r->description.size() >= kRawDescriptionField ||
            r->patterns.empty() || r->patterns.size() > 3)
            std::abort();
    return 0;
}
