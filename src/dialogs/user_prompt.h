#pragma once
// How engines and writers talk to the user: message boxes and the overwrite
// question. The GUI answers with dialogs, the CLI on stderr by its
// --overwrite choice, tests with scripted answers.
#include <string>

namespace vantor {

enum class MessageIcon { None, Information, Warning, Error, Question };

// Result codes of the overwrite confirmation, as its dialog stores them.
enum class OverwriteAnswer : int { Cancel = 0, Yes = 1, YesToAll = 2, No = 3 };

class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    virtual void message(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // Asked with the text the caller passes (a file name, or a whole path).
    virtual OverwriteAnswer confirmOverwrite(const std::string& name) = 0;
    // A yes/no question ("Confirm" boxes); true = yes.
    virtual bool confirm(const std::string& text, const std::string& caption) = 0;
};

}  // namespace vantor
