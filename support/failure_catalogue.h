#pragma once
// Every way a start can end without running the program: the words the launcher writes
// (which scripts and support searches match byte for byte, so they never change), the exit
// status, and what the failure window tells the user to do about it. The launcher, its
// trace and the tests all take the texts from here.
#include <cstddef>

// The exit statuses of a start that runs no program: its failures; abort()'s status, which
// over-long input from outside and a template that cannot be expanded have always ended
// with (scripts may test it); and a cancel's, what Ctrl-C gives a console program.
constexpr int failure_status = 2;
constexpr int abnormal_status = 3;
constexpr int interrupted_status = static_cast<int>(0xC000013A);

enum class FailureKind : unsigned char {
  none,
  cancelled,
  damaged,  // the archive is not what its writer made
  no_header,
  out_of_memory,
  console_handler,
  launcher_path_unreadable,
  launcher_path_too_long,
  cache_dir_relative,
  cache_dir_too_long,
  target_too_long,
  target_not_expanded,
  target_full_path_too_long,
  target_not_full_path,
  open_for_writing,
  write,
  entry_path_too_long,
  command_line_too_long,
  launch,
  count
};

// The sentence a failure window adds below the message.
enum class Advice : unsigned char {
  none,
  get_again,             // the file is damaged or cut short
  writable_folder,       // the target directory, and the variable that chose it
  shorter_command_line,  // the launcher's own path counts
  start_reason,          // the system's reason, its inserts filled with the program's path
};

// A failure's line reads
//   before [subject after] [" is too long: LENGTH units, at most LIMIT."]
//   [" ([Error N] description)"] [note]
struct FailureEntry {
  const char* before;
  const char* after;  // after the subject, when there is one
  int status;
  // A GUI launcher has always written its plain messages (no subject, no system error) to
  // standard output.
  bool plain;
  Advice advice;
};

// The kind's entry; every kind below count has one.
const FailureEntry& failure_entry(FailureKind kind);

// What an open failure adds when KOVRAN_ONEFILE_CACHE_DIR chose the folder.
constexpr char cache_dir_note[] = " The folder comes from KOVRAN_ONEFILE_CACHE_DIR.";

// The advice sentences; NAME marks where a path goes, LIMIT a number.
constexpr char get_again_advice[] =
    "This file is damaged or incomplete: download or copy it again.";
constexpr char folder_advice_before[] = "Make sure you can write to the folder ";
constexpr char folder_advice_after[] = " and that its disk has room.";
constexpr char cache_folder_advice_before[] = "The folder ";
constexpr char cache_folder_advice_after[] =
    " comes from KOVRAN_ONEFILE_CACHE_DIR: unset that variable or point it at a folder you "
    "can write to.";
constexpr char command_line_advice_before[] = "Shorten the command line: the launcher's own path, ";
constexpr char command_line_advice_middle[] = ", counts towards the limit of ";
constexpr char command_line_advice_after[] = " characters.";
// When the system's reason does not name the program itself.
constexpr char start_reason_before[] = "Windows could not start ";
constexpr char start_reason_middle[] = ": ";
