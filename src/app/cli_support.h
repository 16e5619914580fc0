#pragma once

#include <QCoreApplication>

#include <optional>
#include <string>
#include <vector>

// What the commands that talk to a server share.

// Reads "OPERAND [--yes]" in any order. Returns false (wrong usage) for a missing or second
// operand or an unknown option.
bool parseOperandAndYes(const std::vector<std::string>& args, std::string& operand, bool& yes);

// The event loop the network code needs: a QCoreApplication, made here unless one exists
// already (tests call the commands in-process).
class CommandLineApplication {
public:
    CommandLineApplication();

private:
    std::optional<QCoreApplication> m_own;
};
