#include "dialogs/overwrite.h"

#include "platform/output_file.h"

namespace vantor {

std::string OverwriteMessageText(const std::string& name) {
    return "This folder already contains a file named '" + name + "'";
}

OverwriteDecision OverwriteGuard::check(const std::string& destinationPath, const std::string& shownName) {
    if (!ask_ || !FileExistsForReading(destinationPath)) return OverwriteDecision::Write;
    return apply(prompt_.confirmOverwrite(shownName));
}

OverwriteDecision OverwriteGuard::apply(OverwriteAnswer answer) {
    switch (answer) {
        case OverwriteAnswer::Yes: return OverwriteDecision::Write;
        case OverwriteAnswer::YesToAll: ask_ = false; return OverwriteDecision::Write;
        case OverwriteAnswer::No: return OverwriteDecision::Skip;
        case OverwriteAnswer::Cancel: break;
    }
    // Cancel, and any code the dialog does not define, stops the run.
    return OverwriteDecision::Stop;
}

}  // namespace vantor
