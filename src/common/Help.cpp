#include "common/Help.h"

#include "common/Error.h"

#include <algorithm>

namespace {

constexpr size_t HelpWidth = 79;    // no line of the help is longer
constexpr size_t OptionColumn = 26; // where an option's description starts

// `text` broken into lines of at most HelpWidth, each line after `indent`
// spaces, the first after `first` columns already taken. A blank line
// between paragraphs stays.
std::string Wrap(const std::string& text, size_t indent, size_t first) {
    std::string out;
    size_t column = first;
    bool lineEmpty = true;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "\n\n") == 0) {
            out += "\n\n" + std::string(indent, ' ');
            column = indent, lineEmpty = true, at += 2;
        } else if (text[at] == ' ' || text[at] == '\n') {
            ++at;
        } else {
            const size_t end = std::min(text.find_first_of(" \n", at), text.size());
            if (!lineEmpty && column + 1 + (end - at) > HelpWidth) {
                out += "\n" + std::string(indent, ' ');
                column = indent, lineEmpty = true;
            }
            if (!lineEmpty) out += ' ', ++column;
            out.append(text, at, end - at);
            column += end - at, lineEmpty = false, at = end;
        }
    }
    return out + "\n";
}

// An option as it is written on a command line: "--fps N", "--window [K]",
// "-h, --help" (with `allNames`, else "--help"), "OUT".
std::string Spelling(const CLI::Option* opt, bool allNames) {
    if (!opt->nonpositional()) return opt->get_type_name();
    std::string names;
    if (allNames)
        for (const std::string& s : opt->get_snames())
            names += "-" + s + ", ";
    names += "--" + opt->get_lnames().back();
    const std::string type = opt->get_type_name();
    if (opt->get_expected_max() == 0 || type.empty()) return names;
    return names + (opt->get_expected_min() == 0 ? " [" + type + "]" : " " + type);
}

// The options in the order they were added, the positionals first and help
// and version last.
std::vector<const CLI::Option*> InOrder(const CLI::App* app) {
    std::vector<const CLI::Option*> options = app->get_options();
    auto rank = [](const CLI::Option* opt) {
        const std::string name = opt->get_name();
        return !opt->nonpositional() ? 0 : name == "--help" ? 2 : name == "--version" ? 3 : 1;
    };
    std::stable_sort(options.begin(), options.end(),
                     [&](const CLI::Option* a, const CLI::Option* b) { return rank(a) < rank(b); });
    return options;
}

// Each option on a line of its own, its description beside it (or below,
// when the option is long).
std::string OptionList(const CLI::App* app) {
    std::string out;
    for (const CLI::Option* opt : InOrder(app)) {
        const std::string spelling = "  " + Spelling(opt, true);
        out += spelling;
        if (spelling.size() + 2 <= OptionColumn)
            out += std::string(OptionColumn - spelling.size(), ' ');
        else
            out += "\n" + std::string(OptionColumn, ' ');
        out += Wrap(opt->get_description(), OptionColumn, OptionColumn);
    }
    return out;
}

// One usage line made of the options: "[--window [K]] [--help] [--version]".
std::string OptionsUsage(const CLI::App* app) {
    std::string usage;
    for (const CLI::Option* opt : InOrder(app))
        usage += (usage.empty() ? "[" : " [") + Spelling(opt, false) + "]";
    return usage;
}

} // namespace

void UsePlainHelp(CLI::App& app, const std::vector<std::string>& usages) {
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.formatter_fn([usages](const CLI::App* a, const std::string&, CLI::AppFormatMode) {
        std::string out;
        for (const std::string& usage : usages.empty() ? std::vector{OptionsUsage(a)} : usages)
            out += (out.empty() ? "Usage: " : "  or:  ") + a->get_name() + " " + usage + "\n";
        out += "\n" + Wrap(a->get_description(), 0, 0) + "\nOptions:\n" + OptionList(a);
        if (!a->get_footer().empty()) out += "\n" + Wrap(a->get_footer(), 0, 0);
        return out;
    });
}

int ParseCommandLine(CLI::App& app, int argc, char** argv, const std::function<void()>& check) {
    try {
        app.parse(argc, argv);
        if (check) check();
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        SetError("%s", e.what());
        return 2;
    }
    return -1;
}
