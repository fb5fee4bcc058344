#include "tests/harness/process.h"

#include <algorithm>
#include <map>

namespace {

HANDLE open_capture_file() {
  wchar_t directory[MAX_PATH];
  wchar_t name[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  GetTempFileNameW(directory, L"cap", 0, name);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                     nullptr);
}

std::string read_capture(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

std::string without_carriage_returns(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  return lines;
}

std::wstring upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towupper(c));
  return text;
}

// Wine's server now and then refuses a process start with ERROR_INTERNAL_ERROR when many
// start at once; that is the test machine's fault, not the program's, so it is tried again.
bool create_process(const ProcessOptions& options, std::wstring& line, void* environment,
                    STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessW(options.application, line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment, options.current_directory, &startup,
                       &process)) {
      return true;
    }
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 4) return false;
    Sleep(50);
  }
}

// This process's environment with the overrides applied, as a CreateProcessW block.
std::wstring environment_block(const std::vector<std::wstring>& overrides,
                               const std::vector<std::wstring>& raw) {
  std::map<std::wstring, std::wstring> entries;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p != 0; p += wcslen(p) + 1) {
    std::wstring entry = p;
    size_t equals = entry.find(L'=', 1);
    entries[upper(entry.substr(0, equals))] = entry;
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& entry : overrides) {
    size_t equals = entry.find(L'=');
    std::wstring key = upper(entry.substr(0, equals));
    if (equals + 1 == entry.size()) {
      entries.erase(key);
    } else {
      entries[key] = entry;
    }
  }
  std::wstring block;
  for (const auto& item : entries) block += item.second + L'\0';
  for (const auto& entry : raw) block += entry + L'\0';
  block += L'\0';
  return block;
}

}  // namespace

ProcessResult run_process(const std::wstring& command_line, const ProcessOptions& options) {
  ProcessResult result;
  HANDLE out = open_capture_file();
  HANDLE err = open_capture_file();
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::wstring line = command_line;
  std::wstring block;
  void* environment = nullptr;
  if (!options.environment.empty() || !options.raw_environment.empty()) {
    block = environment_block(options.environment, options.raw_environment);
    environment = block.data();
  }
  if (!create_process(options, line, environment, startup, process)) {
    result.exit_code = 0xFFFFFFFF;
    result.err = "run_process: CreateProcessW failed with " + std::to_string(GetLastError());
  } else {
    result.process_id = process.dwProcessId;
    if (WaitForSingleObject(process.hProcess, options.timeout_ms) != WAIT_OBJECT_0) {
      result.timed_out = true;
      TerminateProcess(process.hProcess, 0xDEAD);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.raw_out = read_capture(out);
    result.raw_err = read_capture(err);
    result.out = without_carriage_returns(result.raw_out);
    result.err = without_carriage_returns(result.raw_err);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  return result;
}

std::wstring this_program_directory() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring text(path, length);
  return text.substr(0, text.find_last_of(L'\\'));
}

std::wstring quote_argument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring widen_utf8(const std::string& text) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string narrow_utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string narrow(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}
