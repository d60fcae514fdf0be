// CommandLine: the table-driven reading of a program's arguments.
#include "support/CommandLine.h"

#include <algorithm>

namespace {

std::string Spelling(const CommandLineOption& option)
{
    std::string text = option.name;
    if (option.alias != nullptr) {
        text += std::string(", ") + option.alias;
    }
    if (option.value != nullptr) {
        text += std::string(" ") + option.value;
    }
    return text;
}

} // namespace

CommandLine::CommandLine(const char* program, std::span<const CommandLineOption> options,
    std::span<const ForeignOption> foreign, const char* foreignLabel)
    : m_program(program)
    , m_options(options)
    , m_foreign(foreign)
    , m_foreignLabel(foreignLabel != nullptr ? foreignLabel : "")
{
}

const CommandLineOption* CommandLine::Find(const std::string& word) const
{
    for (const CommandLineOption& option : m_options) {
        if (word == option.name || (option.alias != nullptr && word == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

int CommandLine::ForeignLength(int argc, const char* const* argv, int at) const
{
    std::string word = argv[at];
    if (word.size() < 2 || word[0] != '-') {
        return 0;
    }
    word.erase(0, word.compare(0, 2, "--") == 0 ? 2 : 1);
    const std::size_t equals = word.find('=');
    const bool inlineValue = equals != std::string::npos;
    if (inlineValue) {
        word.erase(equals);
    }
    for (const ForeignOption& option : m_foreign) {
        if (word != option.name) {
            continue;
        }
        if (inlineValue) {
            return option.joinedValue ? 1 : 0;
        }
        if (!option.takesValue) {
            return 1;
        }
        // Without its value it is not the owner's either: the owner would skip it silently.
        return at + 1 < argc ? 2 : 0;
    }
    return 0;
}

bool CommandLine::Parse(int argc, const char* const* argv)
{
    m_given.clear();
    m_foreignArguments.assign(1, argc > 0 && argv[0] != nullptr ? argv[0] : m_program);
    for (int at = 1; at < argc; ++at) {
        const std::string word = argv[at];
        std::string key = word;
        std::string value;
        bool inlineValue = false;
        if (word.compare(0, 2, "--") == 0 && word.find('=') != std::string::npos) {
            key = word.substr(0, word.find('='));
            value = word.substr(word.find('=') + 1);
            inlineValue = true;
        }
        if (const CommandLineOption* option = Find(key)) {
            if (option->value == nullptr && inlineValue) {
                SetErrorText(std::string(option->name) + " takes no value");
                return false;
            }
            if (option->value != nullptr && !inlineValue) {
                if (at + 1 >= argc) {
                    SetErrorText(std::string(option->name) + " needs " + option->value);
                    return false;
                }
                value = argv[++at];
            }
            if (option->value != nullptr && value.empty()) {
                SetErrorText(std::string(option->name) + " needs " + option->value);
                return false;
            }
            m_given.emplace_back(option->name, value);
            continue;
        }
        if (const int length = ForeignLength(argc, argv, at); length > 0) {
            m_foreignArguments.insert(m_foreignArguments.end(), argv + at, argv + at + length);
            at += length - 1;
            continue;
        }
        SetErrorText(
            (word.size() > 1 && word[0] == '-' ? "unknown option \"" : "unexpected argument \"") + word + "\"");
        return false;
    }
    SetErrorText("");
    return true;
}

bool CommandLine::Has(const char* name) const
{
    return std::any_of(m_given.begin(), m_given.end(), [name](const auto& given) { return given.first == name; });
}

std::string CommandLine::Value(const char* name) const
{
    std::string value;
    for (const auto& given : m_given) {
        if (given.first == name) {
            value = given.second;
        }
    }
    return value;
}

std::string CommandLine::Usage() const
{
    std::string text = "usage: " + m_program;
    for (const CommandLineOption& option : m_options) {
        text
            += std::string(" [") + option.name + (option.value != nullptr ? std::string(" ") + option.value : "") + "]";
    }
    if (!m_foreignLabel.empty()) {
        text += " [" + m_foreignLabel + "]";
    }
    return text + "\n";
}

std::string CommandLine::Help(const char* summary, const char* epilogue) const
{
    std::size_t width = 0;
    for (const CommandLineOption& option : m_options) {
        width = std::max(width, Spelling(option).size());
    }
    std::string text = Usage();
    if (summary != nullptr && *summary != '\0') {
        text += std::string("\n") + summary + "\n";
    }
    text += "\n";
    for (const CommandLineOption& option : m_options) {
        const std::string spelling = Spelling(option);
        text += "  " + spelling + std::string(width - spelling.size() + 2, ' ') + option.help + "\n";
    }
    if (epilogue != nullptr && *epilogue != '\0') {
        text += std::string("\n") + epilogue + "\n";
    }
    return text;
}
