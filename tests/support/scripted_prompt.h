#pragma once
// A UserPrompt that answers the overwrite question from a list (then Yes),
// keeps the messages, and says yes to every confirmation.
#include <string>
#include <vector>

#include "dialogs/user_prompt.h"

namespace vantor::test {

class ScriptedPrompt : public UserPrompt {
public:
    std::vector<OverwriteAnswer> answers;
    std::vector<std::string> asked;
    std::vector<std::string> messages;
    void message(const std::string& text, const std::string&, MessageIcon) override { messages.push_back(text); }
    OverwriteAnswer confirmOverwrite(const std::string& name) override {
        asked.push_back(name);
        if (answers.empty()) return OverwriteAnswer::Yes;
        const OverwriteAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    bool confirm(const std::string&, const std::string&) override { return true; }
};

}  // namespace vantor::test
