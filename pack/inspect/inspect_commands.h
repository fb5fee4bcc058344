#pragma once
#include <string>

namespace pack {

// The subcommands that read a launcher this tool made. Each throws PackError with one
// line at the first fault; verify's fault is what makes it fail.
void run_list(const std::string& launcher);
void run_verify(const std::string& launcher);
void run_extract(const std::string& launcher, const std::string& folder);
void run_info(const std::string& launcher);

}  // namespace pack
