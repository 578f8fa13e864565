#include <qrx_engine/testing.h>

#include <qrx_unicode/unicode.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <sstream>
#include <system_error>

#include <unistd.h>

namespace qrx_engine::testing {

using ports::Config;
namespace {

std::optional<std::string> read_file(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string text;
  char buffer[8192];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return text;
}

// Creates a file beside `target` that did not exist before ("x" mode), so that two writers never
// share a temporary file.
std::FILE* create_temporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
  std::random_device seed;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::ostringstream name;
    name << '.' << target.filename().string() << ".tmp-" << std::hex << seed() << seed();
    temporary = target.parent_path() / name.str();
    if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) return file;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

bool write_all(std::FILE* file, const std::string& text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && flushed && closed;
}

}  // namespace

Config JsonFileConfigStore::load() const {
  const std::optional<std::string> text = read_file(path_);
  if (!text || !qrx_unicode::is_valid_utf8(*text)) return Config{};
  qrx_json::Result<Config> config = Config::from_json(*text);
  if (!config) return Config{};
  return std::move(config).value();
}

void JsonFileConfigStore::save(const Config& config) const {
  const std::string text = config.to_json_pretty();
  // A configuration kept elsewhere behind a symbolic link is updated where it lives; renaming
  // over the link itself would cut the link and leave the real file unchanged.
  std::error_code ignored;
  std::filesystem::path target = path_;
  if (std::filesystem::is_symlink(path_, ignored)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path_, ignored);
    if (!ignored) target = resolved;
  }
  std::filesystem::path temporary;
  std::FILE* file = create_temporary(target, temporary);
  if (file == nullptr) return;
  if (!write_all(file, text)) {
    std::filesystem::remove(temporary, ignored);
    return;
  }
  // The replacement keeps the permissions the user gave the old file.
  const std::filesystem::file_status old = std::filesystem::status(target, ignored);
  if (std::filesystem::exists(old)) {
    std::filesystem::permissions(temporary, old.permissions(), ignored);
  }
  std::error_code renamed;
  std::filesystem::rename(temporary, target, renamed);
  if (renamed) std::filesystem::remove(temporary, ignored);
}

}  // namespace qrx_engine::testing
