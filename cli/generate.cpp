// Shell completion (bash, zsh) and the manual page kova(1), generated from
// the command table and the option table of commands.cpp, so that they cannot
// drift from the program: the build runs `kova --completion bash|zsh` and
// `kova --man` and installs what they print.
//
// A command's positional words come from its usage lines: after
// "kova NAME", a word in lower case ("check", "series",
// "jackett|releases|torznab") is one to complete; a word in capitals is the
// user's own (an id, a title), except FILE, which is a file name.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {
namespace {

// ---------------------------------------------------------------------------
// What the tables say
// ---------------------------------------------------------------------------
struct Positional {
    std::vector<std::string> words;  // lower-case choices; empty for a placeholder
    bool file = false;               // FILE
    bool command = false;            // COMMAND (help)
};

// Words at each position after the command, keyed by the word before
// ("" for the first position): "config" -> {"": [check]}, {"check": [jackett ...]}.
using Tree = std::map<std::string, Positional>;

std::vector<std::string> split(const std::string &s, char by) {
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
        size_t end = s.find(by, at);
        out.push_back(s.substr(at, end - at));
        if (end == std::string::npos) return out;
        at = end + 1;
    }
}

bool lower_word(const std::string &w) {
    if (w.empty()) return false;
    for (char c : w)
        if (!((c >= 'a' && c <= 'z') || c == '|' || c == '-')) return false;
    return true;
}

const OptionDoc *option(const std::vector<OptionDoc> &options, const std::string &name) {
    for (const auto &o : options)
        if (name == o.name || (o.alias && name == o.alias)) return &o;
    return nullptr;
}

// The positional words of one command, from its usage lines.
Tree positionals(const CommandDoc &c, const std::vector<OptionDoc> &options) {
    Tree tree;
    const std::string head = std::string("kova ") + c.name + " ";
    for (const std::string &line : split(c.usage, '\n')) {
        size_t at = line.find(head);
        if (at == std::string::npos ||
            (line.compare(0, at, std::string(at, ' ')) != 0 && line.compare(0, at, "usage: ") != 0))
            continue;
        std::vector<std::string> pos;
        std::vector<std::string> tokens = split(line.substr(at + head.size()), ' ');
        for (size_t i = 0; i < tokens.size(); ++i) {
            std::string t = tokens[i];
            while (!t.empty() && t.front() == '[') t.erase(0, 1);
            while (!t.empty() && (t.back() == ']' || t.back() == '.')) t.pop_back();
            if (t.empty()) continue;
            if (t[0] == '-') {
                const OptionDoc *o = option(options, t);
                if (o && o->value) ++i;  // its value is no positional word
                continue;
            }
            pos.push_back(t);
        }
        // The first two positions: what may come second is keyed by the
        // word that came first, for each of its choices.
        std::vector<std::string> befores = {""};
        for (size_t i = 0; i < pos.size() && i < 2; ++i) {
            for (const auto &before : befores) {
                Positional &p = tree[before];
                if (lower_word(pos[i])) {
                    for (const auto &w : split(pos[i], '|'))
                        if (std::find(p.words.begin(), p.words.end(), w) == p.words.end()) p.words.push_back(w);
                } else {
                    p.file = p.file || pos[i] == "FILE";
                    p.command = p.command || pos[i] == "COMMAND";
                }
            }
            if (!lower_word(pos[i])) break;
            befores = split(pos[i], '|');
        }
    }
    return tree;
}

// The options of one command: the global ones, then its own.
std::vector<std::string> option_names(const CommandDoc *c, const std::vector<OptionDoc> &options) {
    std::vector<std::string> names;
    std::string own = c ? std::string(" ") + c->options + " " : "";
    for (const auto &o : options) {
        if (!o.any && own.find(std::string(" ") + (o.name + 2) + " ") == std::string::npos) continue;
        names.push_back(o.name);
        if (o.alias) names.push_back(o.alias);
    }
    return names;
}

// The first sentence of a command's description: the paragraph after its
// usage lines.
std::string summary(const CommandDoc &c) {
    size_t at = c.usage.find("\n\n");
    if (at == std::string::npos) return "";
    std::string text;
    for (size_t i = at + 2; i < c.usage.size() && c.usage.compare(i, 2, "\n\n") != 0; ++i)
        text += c.usage[i] == '\n' ? ' ' : c.usage[i];
    for (const char *stop : {". ", ": ", "; "}) {
        size_t end = text.find(stop);
        if (end != std::string::npos) text = text.substr(0, end);
    }
    while (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// One line: the help of an option with its line breaks and indents folded.
std::string fold(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '\n' || c == ' ') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string> &words, const char *sep = " ") {
    std::string s;
    for (const auto &w : words) s += (s.empty() ? "" : sep) + w;
    return s;
}

std::string value_options(const std::vector<OptionDoc> &options, bool file) {
    std::vector<std::string> names;
    for (const auto &o : options)
        if (o.value && (std::string(o.value) == "FILE") == file) names.push_back(o.name);
    return joined(names, "|");
}

// A text between single quotes for a shell.
std::string quoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// ---------------------------------------------------------------------------
// bash
// ---------------------------------------------------------------------------
std::string bash(const std::vector<CommandDoc> &commands, const std::vector<OptionDoc> &options) {
    std::vector<std::string> names;
    for (const auto &c : commands) names.push_back(c.name);
    std::string s =
        "# bash completion for kova, generated by 'kova --completion bash' from its\n"
        "# command table: do not edit.\n"
        "_kova() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    case $prev in\n"
        "        " + value_options(options, true) + ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
        "        " + value_options(options, false) + ") COMPREPLY=(); return ;;\n"
        "    esac\n"
        "    # The command and the positional words before the one completed.\n"
        "    local cmd= i w\n"
        "    local -a pos=()\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        w=${COMP_WORDS[i]}\n"
        "        case $w in\n"
        "            " + value_options(options, true) + "|" + value_options(options, false) + ") ((i++)) ;;\n"
        "            -*) ;;\n"
        "            *) if [[ -z $cmd ]]; then cmd=$w; else pos+=(\"$w\"); fi ;;\n"
        "        esac\n"
        "    done\n"
        "    local words\n"
        "    if [[ $cur == -* ]]; then\n"
        "        case $cmd in\n";
    for (const auto &c : commands) s += "            " + std::string(c.name) + ") words=" + quoted(joined(option_names(&c, options))) + " ;;\n";
    s += "            *) words=" + quoted(joined(option_names(nullptr, options))) + " ;;\n"
         "        esac\n"
         "    elif [[ -z $cmd ]]; then\n"
         "        words=" + quoted(joined(names)) + "\n"
         "    else\n"
         "        case \"$cmd ${#pos[@]} ${pos[0]}\" in\n";
    for (const auto &c : commands) {
        for (const auto &[before, p] : positionals(c, options)) {
            std::string key = std::string(c.name) + (before.empty() ? " 0 " : " 1 " + before);
            std::string action = p.file ? "COMPREPLY=($(compgen -f -- \"$cur\")); return"
                               : p.command ? "words=" + quoted(joined(names))
                                           : "words=" + quoted(joined(p.words));
            if (p.words.empty() && !p.file && !p.command) continue;
            s += "            " + quoted(key) + ") " + action + " ;;\n";
        }
    }
    s += "        esac\n"
         "    fi\n"
         "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
         "}\n"
         "complete -F _kova kova kova.exe\n";
    return s;
}

// ---------------------------------------------------------------------------
// zsh
// ---------------------------------------------------------------------------
std::string zsh(const std::vector<CommandDoc> &commands, const std::vector<OptionDoc> &options) {
    auto described = [&](const std::vector<std::string> &names) {
        std::string s;
        for (const auto &n : names) {
            const OptionDoc *o = option(options, n);
            std::string help = o ? fold(o->help) : "";
            for (const auto &c : commands)
                if (n == c.name) help = summary(c);
            std::string item = n;
            for (size_t at = item.find(':'); at != std::string::npos; at = item.find(':', at + 2)) item.insert(at, "\\");
            s += " " + quoted(item + (help.empty() ? "" : ":" + help));
        }
        return s;
    };
    std::vector<std::string> names;
    for (const auto &c : commands) names.push_back(c.name);
    std::string s =
        "#compdef kova kova.exe\n"
        "# zsh completion for kova, generated by 'kova --completion zsh' from its\n"
        "# command table: do not edit.\n"
        "_kova() {\n"
        "  local cmd= i w\n"
        "  local -a pos items\n"
        "  case ${words[CURRENT-1]} in\n"
        "    " + value_options(options, true) + ") _files; return ;;\n"
        "    " + value_options(options, false) + ") return 1 ;;\n"
        "  esac\n"
        "  # The command and the positional words before the one completed.\n"
        "  for ((i = 2; i < CURRENT; i++)); do\n"
        "    w=${words[i]}\n"
        "    case $w in\n"
        "      " + value_options(options, true) + "|" + value_options(options, false) + ") ((i++)) ;;\n"
        "      -*) ;;\n"
        "      *) if [[ -z $cmd ]]; then cmd=$w; else pos+=(\"$w\"); fi ;;\n"
        "    esac\n"
        "  done\n"
        "  if [[ ${words[CURRENT]} == -* ]]; then\n"
        "    case $cmd in\n";
    for (const auto &c : commands)
        s += "      " + std::string(c.name) + ") items=(" + described(option_names(&c, options)) + ") ;;\n";
    s += "      *) items=(" + described(option_names(nullptr, options)) + ") ;;\n"
         "    esac\n"
         "    _describe -t options 'option' items\n"
         "    return\n"
         "  fi\n"
         "  if [[ -z $cmd ]]; then\n"
         "    items=(" + described(names) + ")\n"
         "    _describe -t commands 'kova command' items\n"
         "    return\n"
         "  fi\n"
         "  case \"$cmd ${#pos} ${pos[1]}\" in\n";
    for (const auto &c : commands) {
        for (const auto &[before, p] : positionals(c, options)) {
            std::string key = std::string(c.name) + (before.empty() ? " 0 " : " 1 " + before);
            std::string action = p.file ? "_files"
                               : p.command ? "items=(" + described(names) + "); _describe -t commands 'kova command' items"
                                           : "compadd -- " + joined(p.words);
            if (p.words.empty() && !p.file && !p.command) continue;
            s += "    " + quoted(key) + ") " + action + " ;;\n";
        }
    }
    s += "  esac\n"
         "}\n"
         "_kova \"$@\"\n";
    return s;
}

// ---------------------------------------------------------------------------
// The manual page
// ---------------------------------------------------------------------------

// Text as roff shows it literally: backslashes and minus signs escaped, and
// no line starting with a control character.
std::string roff(const std::string &text) {
    std::string s;
    bool line_start = true;
    for (char c : text) {
        if (line_start && (c == '.' || c == '\'')) s += "\\&";
        line_start = c == '\n';
        if (c == '\\') s += "\\e";
        else if (c == '-') s += "\\-";
        else s += c;
    }
    return s;
}

std::string man(const std::vector<CommandDoc> &commands, const std::vector<OptionDoc> &options) {
    std::string over = overview();
    // "Talks to Jackett, ..." is the overview's first paragraph.
    size_t a = over.find("\n\n"), b = a == std::string::npos ? a : over.find("\n\n", a + 2);
    std::string about = a == std::string::npos ? "" : fold(over.substr(a + 2, b - a - 2));
    size_t st = over.find("exit status:");
    std::string status = st == std::string::npos ? "" : fold(over.substr(st + 13));

    std::string s = ".\\\" Generated by 'kova --man' from its command table: do not edit.\n"
                    ".TH KOVA 1 \"\" \"kova " KOVA_CLI_VERSION "\" \"User Commands\"\n"
                    ".SH NAME\n"
                    "kova \\- Jackett, Sonarr and Radarr from the command line\n"
                    ".SH SYNOPSIS\n"
                    ".B kova\n"
                    "[\\fIoptions\\fR] \\fIcommand\\fR [\\fIarguments\\fR]\n"
                    ".SH DESCRIPTION\n" + roff(about) + "\n"
                    "Tables go to standard output and messages to standard error; with\n"
                    ".B \\-\\-json\n"
                    "the output is one JSON document.\n"
                    ".SH COMMANDS\n";
    for (const auto &c : commands) {
        s += ".SS " + roff(c.name) + "\n.nf\n" + roff(c.usage);
        if (!c.usage.empty() && c.usage.back() != '\n') s += "\n";
        s += ".fi\n";
    }
    for (bool any : {true, false}) {
        s += any ? ".SH OPTIONS\nAccepted by any command, anywhere on the line:\n"
                 : ".SS Options of some commands\nEach command's usage above names those it takes.\n";
        for (const auto &o : options) {
            if (o.any != any) continue;
            s += ".TP\n\\fB" + roff(o.name) + "\\fR";
            if (o.value) s += " \\fI" + roff(o.value) + "\\fR";
            if (o.alias) s += ", \\fB" + roff(o.alias) + "\\fR";
            s += "\n" + roff(fold(o.help)) + "\n";
        }
    }
    // The services' environment variables, as one tag: "A ", " B ", " C".
    std::string urls, keys, credentials;
    for (const auto &svc : k_services) {
        urls += (urls.empty() ? "" : " \", \" ") + roff(svc.env_url);
        keys += (keys.empty() ? "" : " \", \" ") + roff(svc.env_key);
        credentials += (credentials.empty() ? "" : " \", \" ") + roff(svc.env_user) + " \", \" " + roff(svc.env_password);
    }
    s += ".SH EXIT STATUS\n" + roff(status) + "\n"
         ".SH ENVIRONMENT\n"
         ".TP\n.B KOVA_CONFIG\nthe configuration file, unless \\-\\-config names one\n"
         ".TP\n.BR " + urls + "\n"
         "the service's address, as \\(dqUrl\\(dq in the configuration file, over the file\n"
         ".TP\n.BR " + keys + "\n"
         "the service's API key, over the file; with the address, a service needs no file at all\n"
         ".TP\n.BR " + credentials + "\n"
         "the user name and password a reverse proxy in front of the service asks for (HTTP basic\n"
         "authentication), as \\(dqUsername\\(dq and \\(dqPassword\\(dq in the configuration file, over the file\n"
         ".TP\n.B NO_COLOR\nany value but the empty one turns colours off\n"
         ".TP\n.BR LC_ALL \", \" LC_CTYPE \", \" LANG\n"
         "the first of them that is set decides whether the output may hold Unicode symbols (a UTF\\-8 locale)\n"
         "or ASCII ones\n"
         ".TP\n.BR http_proxy \", \" https_proxy \", \" no_proxy\n"
         "the proxy, unless the configuration names one\n"
         ".SH FILES\n"
         ".TP\n.I $XDG_CONFIG_HOME/kova/config.json\n"
         "or\n.IR ~/.config/kova/config.json :\n"
         "the configuration, a JSON object with one object per service (Jackett, Sonarr, Radarr); see\n"
         ".B kova config \\-\\-help\n"
         ".SH SEE ALSO\n"
         "The manual docs/cli.md of the kova sources.\n";
    return s;
}

}  // namespace

std::string completion_script(const std::string &shell) {
    if (shell == "bash") return bash(command_docs(), option_docs());
    if (shell == "zsh") return zsh(command_docs(), option_docs());
    return "";
}

std::string manual_page() { return man(command_docs(), option_docs()); }

}  // namespace cli
