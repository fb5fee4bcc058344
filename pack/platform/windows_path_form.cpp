#include "pack/platform/windows_path_form.h"

#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"
#include "payload/entry_name_rule.h"

namespace pack {
namespace {

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

bool is_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool starts_with_drive(std::u16string_view path) {
  return path.size() >= 2 && is_letter(path[0]) && path[1] == u':';
}

bool starts_with_unc(std::u16string_view path) {
  return path.size() >= 4 && (path[0] == u'U' || path[0] == u'u') &&
         (path[1] == u'N' || path[1] == u'n') && (path[2] == u'C' || path[2] == u'c') &&
         path[3] == u'\\';
}

// Past "server\share\" at from, or npos when either name is missing.
size_t past_share(std::u16string_view path, size_t from, bool slashes_too) {
  auto next_separator = [&](size_t at) {
    for (; at < path.size(); ++at) {
      if (path[at] == u'\\' || (slashes_too && path[at] == u'/')) return at;
    }
    return at;
  };
  size_t server_end = next_separator(from);
  if (server_end == from || server_end >= path.size()) return std::u16string_view::npos;
  size_t share_end = next_separator(server_end + 1);
  if (share_end == server_end + 1) return std::u16string_view::npos;
  return share_end < path.size() ? share_end + 1 : share_end;
}

WindowsPathForm verbatim_form(std::u16string_view path) {
  std::u16string_view rest = path.substr(4);
  if (starts_with_drive(rest) && rest.size() >= 3 && rest[2] == u'\\') {
    return {WindowsPathForm::verbatim_drive, 7};
  }
  if (starts_with_unc(rest)) {
    size_t end = past_share(path, 8, false);
    if (end != std::u16string_view::npos) return {WindowsPathForm::verbatim_share, end};
  }
  return {WindowsPathForm::device, 0};
}

bool ends_in_dot_or_space(std::u16string_view name) {
  if (name == u"." || name == u"..") return false;
  return !name.empty() && (name.back() == u'.' || name.back() == u' ');
}

// The trouble with one name below the root, or "".
std::string name_problem(std::u16string_view name, bool verbatim) {
  if (verbatim && !name.empty()) {
    std::string problem = windows_name_problem(name);
    if (!problem.empty()) return "'" + utf16_to_utf8(name) + "': " + problem;
    return "";
  }
  if (name.find(u':') != std::u16string_view::npos) {
    return "'" + utf16_to_utf8(name) +
           "' holds ':', which names a stream of a file on Windows, not a file";
  }
  if (ends_in_dot_or_space(name)) {
    return "'" + utf16_to_utf8(name) + "' ends in a dot or a space, which Windows drops";
  }
  return "";
}

}  // namespace

WindowsPathForm windows_path_form(std::u16string_view path) {
  if (path.size() >= 4 && path.substr(0, 4) == u"\\\\?\\") return verbatim_form(path);
  if (path.size() >= 4 && path.substr(0, 4) == u"\\??\\") return {WindowsPathForm::device, 0};
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    // "\\.\x" and "//?/x" reach devices; so do "\\." and "\\?" alone.
    if (path.size() >= 3 && (path[2] == u'.' || path[2] == u'?') &&
        (path.size() == 3 || is_separator(path[3]))) {
      return {WindowsPathForm::device, 0};
    }
    size_t end = past_share(path, 2, true);
    return {WindowsPathForm::share, end == std::u16string_view::npos ? path.size() : end};
  }
  if (starts_with_drive(path)) {
    if (path.size() >= 3 && is_separator(path[2])) return {WindowsPathForm::drive, 3};
    return {WindowsPathForm::drive_relative, 2};
  }
  if (!path.empty() && is_separator(path[0])) return {WindowsPathForm::rooted, 1};
  return {WindowsPathForm::relative, 0};
}

std::string windows_namespace_problem(std::u16string_view path) {
  if (windows_path_form(path).kind != WindowsPathForm::device) return "";
  return "a device path, not a file or folder on a drive or a share";
}

std::string windows_output_path_problem(std::u16string_view path) {
  std::string problem = windows_namespace_problem(path);
  if (!problem.empty()) return problem;
  WindowsPathForm form = windows_path_form(path);
  bool verbatim =
      form.kind == WindowsPathForm::verbatim_drive || form.kind == WindowsPathForm::verbatim_share;
  for (size_t start = form.root_length; start < path.size();) {
    size_t end = start;
    while (end < path.size() && !(path[end] == u'\\' || (!verbatim && path[end] == u'/'))) ++end;
    problem = name_problem(path.substr(start, end - start), verbatim);
    if (!problem.empty()) return problem;
    start = end + 1;
  }
  return "";
}

}  // namespace pack
