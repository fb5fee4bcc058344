#include "pack/cli/usage_error.h"

#include <algorithm>
#include <vector>

namespace pack {
namespace {

// "pack, list, verify, extract and info"
std::string command_names(CLI::App& app) {
  std::vector<CLI::App*> commands = app.get_subcommands([](CLI::App*) { return true; });
  std::string names;
  for (size_t i = 0; i < commands.size(); ++i) {
    if (i > 0) names += i + 1 == commands.size() ? " and " : ", ";
    names += commands[i]->get_name();
  }
  return names;
}

std::string one_line(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

}  // namespace

std::string usage_error_line(CLI::App& app, const CLI::ParseError& error) {
  std::vector<CLI::App*> parsed = app.get_subcommands();
  std::string command = parsed.empty() ? "" : parsed.front()->get_name();
  // Words left over explain the other errors they cause (a required option seems
  // missing when its name was mistyped), so they come first.
  std::vector<std::string> extras = app.remaining(true);
  std::string text;
  std::string help;
  if (command.empty()) {
    help = "; kovran-onefile --help tells what each does";
    if (extras.empty()) {
      text = "no command given; the commands are " + command_names(app);
    } else if (extras.front().rfind("-", 0) == 0) {
      text = "unknown option " + extras.front() + "; start with a command: " + command_names(app);
    } else {
      text = "'" + extras.front() + "' is not a command; the commands are " + command_names(app);
    }
  } else {
    help = "; kovran-onefile " + command + " --help lists its options";
    if (extras.empty()) {
      text = command + ": " + one_line(error.what());
    } else if (extras.front().rfind("-", 0) == 0) {
      text = command + ": unknown option " + extras.front();
    } else {
      text = command + ": unexpected argument '" + extras.front() + "'";
    }
  }
  return "kovran-onefile: error: " + text + help;
}

}  // namespace pack
