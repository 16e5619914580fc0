#include "app/cli_support.h"

bool parseOperandAndYes(const std::vector<std::string>& args, std::string& operand, bool& yes) {
    operand.clear();
    yes = false;
    for (const auto& a : args) {
        if (a == "--yes")
            yes = true;
        else if (a.starts_with("--") || !operand.empty())
            return false;
        else
            operand = a;
    }
    return !operand.empty();
}

CommandLineApplication::CommandLineApplication() {
    static int argc = 1;
    static char name[] = "kavrin32";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        m_own.emplace(argc, argv);
}
