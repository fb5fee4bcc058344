#include "pack/cli/progress.h"

#include <string>

namespace pack {

namespace {
constexpr auto redraw_interval = std::chrono::milliseconds(100);
}

Progress::Progress(bool enabled, uint64_t total_bytes)
    : enabled_(enabled),
      total_(total_bytes),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

Progress::~Progress() { finish(); }

bool Progress::due() const {
  return enabled_ && (!drawn_ || std::chrono::steady_clock::now() - last_ >= redraw_interval);
}

void Progress::update(uint64_t bytes_in, uint64_t bytes_out) {
  if (!due()) return;
  last_ = std::chrono::steady_clock::now();
  draw(bytes_in, bytes_out);
}

void Progress::draw(uint64_t bytes_in, uint64_t bytes_out) {
  double percent =
      total_ ? 100.0 * static_cast<double>(bytes_in) / static_cast<double>(total_) : 100.0;
  std::string line = "packing " + human_bytes(bytes_in) + " of " + human_bytes(total_);
  char tail[64];
  std::snprintf(tail, sizeof tail, " (%.0f%%)", percent);
  line += tail;
  if (bytes_in > 0 && bytes_out > 0) {
    std::snprintf(tail, sizeof tail, ", compressed to %.1f%%",
                  100.0 * static_cast<double>(bytes_out) / static_cast<double>(bytes_in));
    line += tail;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (bytes_in > 0 && seconds >= 1) {
    double rate = static_cast<double>(bytes_in) / seconds;
    double left = static_cast<double>(total_ > bytes_in ? total_ - bytes_in : 0) / rate;
    std::snprintf(tail, sizeof tail, ", %s/s, %.0f s left",
                  human_bytes(static_cast<uint64_t>(rate)).c_str(), left);
    line += tail;
  }
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::finish() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}

StatusLine::StatusLine(bool enabled)
    : enabled_(enabled), start_(std::chrono::steady_clock::now()), last_(start_) {}

StatusLine::~StatusLine() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

void StatusLine::show(const std::string& text) {
  auto now = std::chrono::steady_clock::now();
  if (!enabled_ || now - start_ < std::chrono::seconds(1) || now - last_ < redraw_interval) return;
  last_ = now;
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

std::string human_bytes(uint64_t bytes) {
  static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) value /= 1024, ++unit;
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
  return text;
}

std::string counted(uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace pack
