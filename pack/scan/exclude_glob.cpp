#include "pack/scan/exclude_glob.h"

#include <algorithm>

#include "pack/pack_error.h"
#include "pack/scan/utf.h"
#include "pack/scan/windows_names.h"

namespace pack {
namespace {

using View = std::u16string_view;

bool match(View p, View s) {
  if (p.empty()) return s.empty();
  if (p.substr(0, 2) == u"**") {
    View rest = p.substr(2);
    if (rest.substr(0, 1) == u"/") {
      // "**/x": x at this level or below any number of folders.
      rest.remove_prefix(1);
      if (match(rest, s)) return true;
      for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'/' && match(rest, s.substr(i + 1))) return true;
      }
      return false;
    }
    for (size_t i = 0; i <= s.size(); ++i) {
      if (match(rest, s.substr(i))) return true;
    }
    return false;
  }
  if (p[0] == u'*') {
    for (size_t i = 0; i <= s.size(); ++i) {
      if (match(p.substr(1), s.substr(i))) return true;
      if (i < s.size() && s[i] == u'/') break;
    }
    return false;
  }
  if (s.empty()) return false;
  if (p[0] == u'?') return s[0] != u'/' && match(p.substr(1), s.substr(1));
  return p[0] == s[0] && match(p.substr(1), s.substr(1));
}

std::u16string normalized_pattern(const std::string& pattern) {
  std::optional<std::u16string> wide = utf8_to_utf16(pattern);
  if (!wide) throw PackError("--exclude '" + pattern + "': not valid UTF-8");
  std::replace(wide->begin(), wide->end(), u'\\', u'/');
  while (wide->compare(0, 2, u"./") == 0) wide->erase(0, 2);
  while (!wide->empty() && wide->back() == u'/') wide->pop_back();
  if (wide->empty()) throw PackError("--exclude '" + pattern + "': empty pattern");
  return fold_case(*wide);
}

// A name as patterns are matched against it: letter case folded, '/' between parts.
std::u16string normalized_path(const std::u16string& name) {
  std::u16string path = fold_case(name);
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return path;
}

bool matches_path(const std::u16string& pattern, const std::u16string& path) {
  // The path itself, then each folder above it.
  for (size_t end = path.size(); end != std::u16string::npos && end > 0;
       end = path.rfind(u'/', end - 1)) {
    if (match(pattern, View(path).substr(0, end))) return true;
  }
  return false;
}

}  // namespace

bool exclude_matches(const std::string& pattern, const std::u16string& name) {
  return matches_path(normalized_pattern(pattern), normalized_path(name));
}

ExcludeResult apply_excludes(std::vector<AppFile> files, const std::vector<std::string>& patterns) {
  std::vector<std::u16string> normalized;
  for (const std::string& pattern : patterns) normalized.push_back(normalized_pattern(pattern));
  ExcludeResult result;
  result.matches.assign(patterns.size(), 0);
  for (AppFile& file : files) {
    std::u16string path = normalized_path(file.name);
    std::optional<size_t> first;
    for (size_t i = 0; i < normalized.size(); ++i) {
      if (!matches_path(normalized[i], path)) continue;
      ++result.matches[i];
      if (!first) first = i;
    }
    if (first) {
      result.left_out.emplace_back(std::move(file), *first);
    } else {
      result.kept.push_back(std::move(file));
    }
  }
  return result;
}

}  // namespace pack
