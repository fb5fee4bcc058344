#include <windows.h>

#include "pack/pack_error.h"
#include "pack/platform/interrupt_cleanup.h"
#include "pack/platform/output_file.h"
#include "pack/platform/windows_error.h"

namespace pack {
namespace {

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& output)
    : output_(output), temp_(temporary_output_path(output)) {
  std::wstring temp = windows_path(temp_);
  // An earlier run's temporary file goes; any other node of its name stays.
  refuse_unless_file(temp_);
  DeleteFileW(temp.c_str());
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw PackError(output.u8string() +
                    ": cannot create a temporary file beside it: " + last_error_text());
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  cleanup_on_interrupt(temp_.u8string().c_str());
}

OutputFile::~OutputFile() {
  if (handle_ != -1) {
    CloseHandle(handle_of(handle_));
    DeleteFileW(windows_path(temp_).c_str());
  }
  cleanup_on_interrupt_clear();
}

void OutputFile::fail(const char* what) const {
  throw PackError(output_.u8string() + ": " + what + ": " + last_error_text());
}

void OutputFile::write(const void* data, size_t size) { write_at(size_, data, size); }

void OutputFile::write_at(uint64_t offset, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    DWORD chunk = static_cast<DWORD>(size - done < (1u << 30) ? size - done : (1u << 30));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD written = 0;
    if (!WriteFile(handle_of(handle_), bytes + done, chunk, &written, &at) || written == 0) {
      fail("write failed");
    }
    done += written;
  }
  if (offset + size > size_) size_ = offset + size;
}

void OutputFile::commit() {
  HANDLE file = handle_of(handle_);
  handle_ = -1;
  std::wstring temp = windows_path(temp_);
  if (!CloseHandle(file)) {
    DeleteFileW(temp.c_str());
    fail("write failed");
  }
  // A node put in the output's place while the tool worked is not replaced either.
  try {
    refuse_unless_file(output_);
  } catch (const PackError&) {
    DeleteFileW(temp.c_str());
    throw;
  }
  if (!MoveFileExW(temp.c_str(), windows_path(output_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    SetLastError(error);
    fail("cannot write");
  }
}

}  // namespace pack
