#include "bench_text.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace bench_text {
namespace {

std::string read(const char* name) {
  const std::string path = std::string(QRX_BENCH_TEXT_DIR) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> split_keys(const std::string& keys) {
  std::vector<std::string> names;
  for (std::size_t pos = 0; pos < keys.size();) {
    std::size_t end = pos + 1;
    while (end < keys.size() && (static_cast<unsigned char>(keys[end]) & 0xC0) == 0x80) ++end;
    names.push_back(keys[pos] == '\n' ? std::string("Enter") : keys.substr(pos, end - pos));
    pos = end;
  }
  return names;
}

}  // namespace

const std::string& text() {
  static const std::string content = read("text.txt");
  return content;
}

const std::string& keys(Method method) {
  static const std::string telex = read("telex.txt");
  static const std::string vni = read("vni.txt");
  return method == Method::Telex ? telex : vni;
}

const std::vector<std::string>& key_names(Method method) {
  static const std::vector<std::string> telex = split_keys(keys(Method::Telex));
  static const std::vector<std::string> vni = split_keys(keys(Method::Vni));
  return method == Method::Telex ? telex : vni;
}

std::string text_of_size(std::size_t size) {
  std::string out;
  out.reserve(size + text().size());
  while (out.size() < size) out += text();
  return out;
}

std::string_view method_name(Method method) { return method == Method::Telex ? "telex" : "vni"; }

const char* config_json(Method method) {
  return method == Method::Telex ? R"({"input_method":"telex"})" : R"({"input_method":"vni"})";
}

}  // namespace bench_text
