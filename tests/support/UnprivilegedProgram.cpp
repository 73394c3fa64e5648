#include "tests/support/UnprivilegedProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

UnprivilegedProgram::UnprivilegedProgram(const std::string& program)
    : m_path(m_dir.file(std::filesystem::path(program).filename())) {
  // Traversable, not listable: the other user reaches the copy by its name only.
  std::error_code ec;
  std::filesystem::copy_file(program, m_path, ec);
  if (ec || ::chmod(m_dir.path().c_str(), 0711) != 0 || ::chmod(m_path.c_str(), 0755) != 0)
    throw std::runtime_error("cannot copy " + program + " for another user");
}

std::string UnprivilegedProgram::Run(const std::vector<std::string>& args) const {
  std::string command = (::geteuid() == 0 ? "runuser -u nobody -- " : "") + Quoted(m_path);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " 2>&1";
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  return out;
}
