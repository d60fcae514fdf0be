// CommandLine: a program's options as one table, read the same way by every
// program: switches ("--version"), options with a value ("--name VALUE" or
// "--name=VALUE"), a toolkit's own arguments passed on untouched, the texts
// of --help and of the short usage, and status 64 for a usage error.
#pragma once

#include "support/KQ_ErrorReport.h"

#include <span>
#include <string>
#include <vector>

// One row of a program's option table.
struct CommandLineOption {
    const char* name; // "--list-devices"
    const char* alias; // "-h", or nullptr
    const char* value; // the value's name in the help ("FILE"), nullptr for a switch
    const char* help; // one line for --help
};

// An argument that belongs to somebody else (Qt's "-platform NAME"), read
// with one dash or two, as its owner reads it.
struct ForeignOption {
    const char* name; // without dashes: "platform"
    bool takesValue; // the next argument is its value
    bool joinedValue; // "-name=VALUE" is read as well
};

class CommandLine : public KQ_ErrorReport {
public:
    static constexpr int kExitUsage = 64;

    // `foreignLabel` names the foreign arguments in the usage ("Qt options").
    CommandLine(const char* program, std::span<const CommandLineOption> options,
        std::span<const ForeignOption> foreign = {}, const char* foreignLabel = nullptr);

    // False for an argument that neither table knows, or an option without
    // its value; the error text then says which.
    bool Parse(int argc, const char* const* argv);

    // Whether an option of the table was given (by its name, not its alias).
    bool Has(const char* name) const;
    // The value given last to an option, empty when it was not given.
    std::string Value(const char* name) const;
    // Every option of the table given, by name, with its value ("" for a switch), in their order.
    const std::vector<std::pair<std::string, std::string>>& Given() const { return m_given; }
    // The program's own name and the foreign arguments in their order: what
    // the toolkit is to be given.
    const std::vector<std::string>& ForeignArguments() const { return m_foreignArguments; }

    // "usage: tavelin [--help] [--version] ... [Qt options]" and a line end.
    std::string Usage() const;
    // The usage, `summary`, one aligned line per option and `epilogue`.
    std::string Help(const char* summary, const char* epilogue = nullptr) const;

private:
    const CommandLineOption* Find(const std::string& word) const;
    // How many arguments, from `argv[at]` on, are one foreign option; 0 when it is none.
    int ForeignLength(int argc, const char* const* argv, int at) const;

    std::string m_program;
    std::span<const CommandLineOption> m_options;
    std::span<const ForeignOption> m_foreign;
    std::string m_foreignLabel;
    std::vector<std::pair<std::string, std::string>> m_given;
    std::vector<std::string> m_foreignArguments;
};
