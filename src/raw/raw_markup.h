#pragma once
// The small markup reader rp.dat is written in: elements, attributes (value
// between quotes after "=") and text, in document order under a root
// element "XML:ROOT". An element without child elements gets one text child
// holding everything between its tags; text between child elements is not
// kept. A missing or mismatched end tag fails the whole parse. "<?...?>"
// declarations and "<!--...-->" comments are skipped.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

enum class MarkupKind { Element, Attribute, Text };

struct MarkupNode {
    MarkupKind kind = MarkupKind::Element;
    std::string name;   // element or attribute name
    std::string value;  // attribute value or text
    std::vector<std::unique_ptr<MarkupNode>> children;
};

// Null on malformed markup; error then says where and why.
std::unique_ptr<MarkupNode> ParseMarkup(std::string_view text, std::string& error);

}  // namespace vantor
