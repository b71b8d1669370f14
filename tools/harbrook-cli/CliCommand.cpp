#include "tools/harbrook-cli/CliCommand.h"

#include <algorithm>
#include <array>

namespace harbrook::cli {

namespace {

// What each verb takes after its flags: the least and the most names.
struct CommandForm {
    const char* verb;
    std::size_t leastNames;
    std::size_t mostNames;
    // The flag the verb knows ("-r" or "--raw"), and the names it then takes.
    const char* flag;
    // Whether the single-file flags -c (continue) and -n (never overwrite) are known.
    bool fileFlags;
    std::size_t leastNamesWithFlag;
    std::size_t mostNamesWithFlag;
    const char* usage;
};

constexpr std::array<CommandForm, 13> kForms{{
    {"pwd", 0, 0, nullptr, false, 0, 0, "pwd"},
    {"cd", 1, 1, nullptr, false, 0, 0, "cd PATH"},
    {"cdup", 0, 0, nullptr, false, 0, 0, "cdup"},
    {"mkdir", 1, 1, nullptr, false, 0, 0, "mkdir NAME"},
    {"rmdir", 1, 1, nullptr, false, 0, 0, "rmdir NAME"},
    {"rm", 1, 1, "-r", false, 1, 1, "rm [-r] NAME"},
    {"mv", 2, 2, nullptr, false, 0, 0, "mv OLD NEW"},
    {"size", 1, 1, nullptr, false, 0, 0, "size NAME"},
    {"ls", 0, 1, "--raw", false, 0, 1, "ls [--raw] [PATH]"},
    {"get", 2, 2, "-r", true, 2, 2, "get [-c|-n] REMOTE LOCAL or get -r REMOTEFOLDER LOCALDIR"},
    {"put", 2, 2, "-r", true, 1, 1, "put [-c|-n] LOCAL REMOTE or put -r LOCALDIR"},
    {"append", 2, 2, nullptr, false, 0, 0, "append LOCAL REMOTE"},
    {"feat", 0, 0, nullptr, false, 0, 0, "feat"},
}};

}  // namespace

std::optional<std::vector<std::string>> splitCommandWords(const std::string& command,
                                                          std::string& error) {
    enum class Quote { None, Single, Double };
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    Quote quote = Quote::None;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        switch (quote) {
            case Quote::Single:
                if (c == '\'') {
                    quote = Quote::None;
                } else {
                    word += c;
                }
                continue;
            case Quote::Double:
                if (c == '"') {
                    quote = Quote::None;
                } else if (c == '\\' && i + 1 < command.size() &&
                           (command[i + 1] == '"' || command[i + 1] == '\\')) {
                    word += command[++i];
                } else {
                    word += c;
                }
                continue;
            case Quote::None:
                break;
        }
        if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'') {
            quote = Quote::Single;
        } else if (c == '"') {
            quote = Quote::Double;
        } else if (c == '\\') {
            if (i + 1 == command.size()) {
                error = "a backslash ends the command '" + command + "'";
                return std::nullopt;
            }
            word += command[++i];
        } else {
            word += c;
        }
    }
    if (quote != Quote::None) {
        error = "unclosed quote in '" + command + "'";
        return std::nullopt;
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

std::optional<CliCommand> parseCliCommand(const std::string& command, std::string& error) {
    auto words = splitCommandWords(command, error);
    if (!words) {
        return std::nullopt;
    }
    if (words->empty()) {
        error = "empty command";
        return std::nullopt;
    }
    CliCommand parsed;
    parsed.verb = words->front();
    const auto form = std::find_if(kForms.begin(), kForms.end(), [&](const CommandForm& candidate) {
        return parsed.verb == candidate.verb;
    });
    if (form == kForms.end()) {
        error = "unknown command '" + parsed.verb + "'";
        return std::nullopt;
    }
    auto name = words->begin() + 1;
    bool flagged = false;
    if (name != words->end() && form->flag != nullptr && *name == form->flag) {
        flagged = true;
        ++name;
    } else if (name != words->end() && form->fileFlags && (*name == "-c" || *name == "-n")) {
        (*name == "-c" ? parsed.resume : parsed.noClobber) = true;
        ++name;
    }
    // "--" ends the flags, so a file called "-r" can still be named.
    if (name != words->end() && *name == "--") {
        ++name;
    }
    parsed.names.assign(name, words->end());
    const std::size_t least = flagged ? form->leastNamesWithFlag : form->leastNames;
    const std::size_t most = flagged ? form->mostNamesWithFlag : form->mostNames;
    if (parsed.names.size() < least || parsed.names.size() > most) {
        error = "'" + command + "': use " + form->usage;
        return std::nullopt;
    }
    if (flagged) {
        (std::string(form->flag) == "-r" ? parsed.recursive : parsed.raw) = true;
    }
    return parsed;
}

}  // namespace harbrook::cli
