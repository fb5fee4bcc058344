#pragma once
#include <CLI/CLI.hpp>
#include <string>

namespace pack {

// The one line for a command line that could not be read: what is wrong, in the
// words of the command it was meant for, and where the help is.
std::string usage_error_line(CLI::App& app, const CLI::ParseError& error);

}  // namespace pack
