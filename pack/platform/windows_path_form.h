#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace pack {

// How Windows reads a path as written, before it is made full.
struct WindowsPathForm {
  enum Kind {
    relative,        // "x\y", taken from the current folder
    drive_relative,  // "C:x", from the current folder of drive C
    rooted,          // "\x", from the top of the current drive
    drive,           // "C:\x"
    share,           // "\\server\share\x"
    verbatim_drive,  // "\\?\C:\x": names kept as written, no "." or ".." resolved
    verbatim_share,  // "\\?\UNC\server\share\x"
    device,          // "\\.\pipe\x", "\\?\GLOBALROOT\x", "\??\x": not a file's place
  } kind;
  // Units up to where the names below the root begin ("C:\", "\\server\share\", ...).
  size_t root_length;
};

WindowsPathForm windows_path_form(std::u16string_view path);

// Why the tool does not read or write at this path on Windows, or "": it is in the
// device namespace rather than on a drive or a share.
std::string windows_namespace_problem(std::u16string_view path);

// Why a file or folder the tool makes cannot be at this path, or "": a name ending in a
// dot or a space (Windows drops them, or, written verbatim, keeps a name that other
// programs cannot open), a ':' after the drive (a stream of a file, not a file), or in a
// verbatim path any name Windows cannot hold.
std::string windows_output_path_problem(std::u16string_view path);

}  // namespace pack
