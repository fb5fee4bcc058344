#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace pack {

// One progress line on standard error, rewritten in place a few times a second: bytes
// done, share compressed, and after a second the rate and the time left.
class Progress {
 public:
  // Shows nothing unless enabled; callers pass whether stderr is a terminal.
  Progress(bool enabled, uint64_t total_bytes);
  ~Progress();

  // Whether a new figure would be shown now; saves callers the work of computing it.
  bool due() const;
  void update(uint64_t bytes_in, uint64_t bytes_out);
  // Clears the line so that what follows starts on an empty one.
  void finish();

 private:
  void draw(uint64_t bytes_in, uint64_t bytes_out);

  bool enabled_;
  bool drawn_ = false;
  uint64_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

// A line for a phase without a known end (scanning, checking), shown only once the
// phase has taken a second, and cleared when it ends.
class StatusLine {
 public:
  explicit StatusLine(bool enabled);
  ~StatusLine();
  void show(const std::string& text);

 private:
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

// Bytes as a short human figure: "812 B", "4.2 MiB". Every size the tool shows goes
// through here, so that the same size always reads the same.
std::string human_bytes(uint64_t bytes);

// "1 file", "2 files": count and noun, plural with an s.
std::string counted(uint64_t count, const std::string& noun);

}  // namespace pack
