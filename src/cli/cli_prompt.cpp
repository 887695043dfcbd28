#include "cli/cli_prompt.h"

#include <unistd.h>

#include "dialogs/overwrite.h"

namespace vantor::cli {

namespace {

// Texts carry names read from the scanned disk; keep control bytes off the
// terminal. Line breaks of the message itself stay.
std::string Printable(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) c = '?';
    return out;
}

}  // namespace

void CliPrompt::message(const std::string& text, const std::string& caption, MessageIcon icon) {
    (void)icon;
    ++messages_;
    std::fprintf(out_, "%s: %s\n", caption.empty() ? "vantor" : caption.c_str(), Printable(text).c_str());
    std::fflush(out_);
}

std::string CliPrompt::readAnswer() {
    std::string line;
    for (int c = std::fgetc(in_); c != EOF && c != '\n'; c = std::fgetc(in_))
        if (line.size() < 64) line.push_back(static_cast<char>(c));
    if (line.empty() && std::feof(in_)) return "\x04";
    return line;
}

OverwriteAnswer CliPrompt::confirmOverwrite(const std::string& name) {
    switch (policy_) {
        case OverwritePolicy::All: return OverwriteAnswer::Yes;
        case OverwritePolicy::Never: return OverwriteAnswer::No;
        case OverwritePolicy::Ask: break;
    }
    for (int tries = 0; tries < 5; ++tries) {
        std::fprintf(out_, "%s: %s\n%s [y]es / [a]ll / [n]o / [c]ancel: ", kOverwriteCaption,
                     Printable(OverwriteMessageText(name)).c_str(), kOverwriteSecondLine);
        std::fflush(out_);
        const std::string a = readAnswer();
        if (a == "\x04") {
            std::fprintf(out_, "\n");
            return OverwriteAnswer::Cancel;
        }
        const char c = a.empty() ? 'y' : a[0];  // Yes is the default button
        if (c == 'y' || c == 'Y') return OverwriteAnswer::Yes;
        if (c == 'a' || c == 'A') return OverwriteAnswer::YesToAll;
        if (c == 'n' || c == 'N') return OverwriteAnswer::No;
        if (c == 'c' || c == 'C') return OverwriteAnswer::Cancel;
    }
    return OverwriteAnswer::Cancel;
}

bool CliPrompt::confirm(const std::string& text, const std::string& caption) {
    if (!::isatty(::fileno(in_))) {
        std::fprintf(out_, "%s: %s (not confirmed: no terminal)\n", caption.c_str(), text.c_str());
        return false;
    }
    std::fprintf(out_, "%s: %s [y/N]: ", caption.c_str(), text.c_str());
    std::fflush(out_);
    const std::string a = readAnswer();
    return !a.empty() && (a[0] == 'y' || a[0] == 'Y');
}

bool ParseOverwritePolicy(const std::string& text, OverwritePolicy& out) {
    if (text == "ask") out = OverwritePolicy::Ask;
    else if (text == "all") out = OverwritePolicy::All;
    else if (text == "never") out = OverwritePolicy::Never;
    else return false;
    return true;
}

}  // namespace vantor::cli
