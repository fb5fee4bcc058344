#pragma once
// What the pack tool decides about removing other builds (support/constants_record.h's
// prune_after_days): only launchers of the default target directory prune, where each
// build of an app has a folder of its own beside the others.
#include <cstdint>
#include <optional>
#include <string>

namespace pack {

constexpr uint32_t default_prune_after_days = 7;
// A hundred years: longer is never in practice, and the tool says so.
constexpr uint32_t max_prune_after_days = 36500;

// What is wrong with text as --prune-after's value: "" for a number of days in range or
// "never", else the fault in words.
std::string prune_after_fault(const std::string& text);
// The record's value for --prune-after (nullopt: the default). Throws PackError for text
// that is neither a number of days in range nor "never".
uint32_t prune_after_days(const std::optional<std::string>& option, bool default_target);
// How info and the pack summary show it.
std::string prune_description(uint32_t days);

}  // namespace pack
