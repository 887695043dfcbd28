#include "raw/raw_markup.h"

namespace vantor {

namespace {

// Deep nesting is no table: bounded so a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameChar(char c) { return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '<' && c != '"' && c != '\''; }

class Parser {
public:
    explicit Parser(std::string_view t) : t_(t) {}

    bool parseChildren(MarkupNode& parent, const std::string* endName, int depth) {
        if (depth > kMaxDepth) return fail("elements nested too deep");
        size_t textStart = p_;
        bool hasElement = false;
        while (true) {
            const size_t lt = t_.find('<', p_);
            if (lt == std::string_view::npos) {
                if (endName) return fail("no end tag for <" + *endName + ">");
                return true;
            }
            p_ = lt;
            if (t_.substr(p_, 2) == "<?") {
                if (!skipPast("?>")) return fail("unclosed declaration");
                continue;
            }
            if (t_.substr(p_, 4) == "<!--") {
                if (!skipPast("-->")) return fail("unclosed comment");
                continue;
            }
            if (t_.substr(p_, 2) == "</") {
                const size_t textEnd = p_;
                p_ += 2;
                const std::string name = readName();
                skipSpace();
                if (p_ >= t_.size() || t_[p_] != '>') return fail("bad end tag </" + name);
                ++p_;
                if (!endName) return fail("end tag </" + name + "> without a start tag");
                if (name != *endName) return fail("end tag </" + name + "> where </" + *endName + "> belongs");
                if (!hasElement) {
                    auto text = std::make_unique<MarkupNode>();
                    text->kind = MarkupKind::Text;
                    text->value = std::string(t_.substr(textStart, textEnd - textStart));
                    parent.children.push_back(std::move(text));
                }
                return true;
            }
            // A start tag.
            ++p_;
            auto el = std::make_unique<MarkupNode>();
            el->name = readName();
            if (el->name.empty()) return fail("a '<' that starts no tag");
            bool selfClosed = false;
            while (true) {
                skipSpace();
                if (p_ >= t_.size()) return fail("unclosed tag <" + el->name);
                if (t_[p_] == '>') {
                    ++p_;
                    break;
                }
                if (t_.substr(p_, 2) == "/>") {
                    p_ += 2;
                    selfClosed = true;
                    break;
                }
                auto attr = std::make_unique<MarkupNode>();
                attr->kind = MarkupKind::Attribute;
                attr->name = readName();
                if (attr->name.empty()) return fail("bad attribute in <" + el->name);
                skipSpace();
                if (p_ >= t_.size() || t_[p_] != '=') return fail("attribute " + attr->name + " without a value");
                ++p_;
                skipSpace();
                if (p_ >= t_.size() || (t_[p_] != '"' && t_[p_] != '\'')) return fail("unquoted attribute " + attr->name);
                const char q = t_[p_++];
                const size_t close = t_.find(q, p_);
                if (close == std::string_view::npos) return fail("unclosed attribute " + attr->name);
                attr->value = std::string(t_.substr(p_, close - p_));
                p_ = close + 1;
                el->children.push_back(std::move(attr));
            }
            if (!selfClosed && !parseChildren(*el, &el->name, depth + 1)) return false;
            parent.children.push_back(std::move(el));
            hasElement = true;
            textStart = p_;
        }
    }

    const std::string& error() const { return error_; }

private:
    bool fail(std::string why) {
        size_t line = 1;
        for (size_t i = 0; i < p_ && i < t_.size(); ++i) line += t_[i] == '\n';
        error_ = "line " + std::to_string(line) + ": " + why;
        return false;
    }
    bool skipPast(std::string_view end) {
        const size_t at = t_.find(end, p_);
        if (at == std::string_view::npos) return false;
        p_ = at + end.size();
        return true;
    }
    void skipSpace() {
        while (p_ < t_.size() && IsSpace(t_[p_])) ++p_;
    }
    std::string readName() {
        const size_t start = p_;
        while (p_ < t_.size() && IsNameChar(t_[p_])) ++p_;
        return std::string(t_.substr(start, p_ - start));
    }

    std::string_view t_;
    size_t p_ = 0;
    std::string error_;
};

}  // namespace

std::unique_ptr<MarkupNode> ParseMarkup(std::string_view text, std::string& error) {
    auto root = std::make_unique<MarkupNode>();
    root->name = "XML:ROOT";
    Parser parser(text);
    if (!parser.parseChildren(*root, nullptr, 0)) {
        error = parser.error();
        return nullptr;
    }
    return root;
}

}  // namespace vantor
