#pragma once
// The UserPrompt of the command line: messages go to stderr, the overwrite
// question is answered by --overwrite (ask reads y/a/n/c from stdin; end of
// input answers Cancel), and yes/no questions are asked only on a terminal.
#include <cstdio>
#include <string>

#include "dialogs/user_prompt.h"

namespace vantor::cli {

enum class OverwritePolicy { Ask, All, Never };

class CliPrompt final : public UserPrompt {
public:
    explicit CliPrompt(OverwritePolicy policy, std::FILE* in = stdin, std::FILE* out = stderr)
        : policy_(policy), in_(in), out_(out) {}

    void message(const std::string& text, const std::string& caption, MessageIcon icon) override;
    OverwriteAnswer confirmOverwrite(const std::string& name) override;
    bool confirm(const std::string& text, const std::string& caption) override;

    int messagesShown() const { return messages_; }

private:
    std::string readAnswer();

    OverwritePolicy policy_;
    std::FILE* in_;
    std::FILE* out_;
    int messages_ = 0;
};

// "ask", "all", "never"; false for anything else.
bool ParseOverwritePolicy(const std::string& text, OverwritePolicy& out);

}  // namespace vantor::cli
