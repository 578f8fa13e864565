#include <qrx_json/json.h>

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <iterator>

namespace qrx_json {
namespace {

// A byte iterator that counts how many bytes the parser has pulled, so that every value can
// carry the position where it was read; nlohmann's SAX events carry no positions of their own.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* p, std::size_t* consumed) : p_(p), consumed_(consumed) {}
  reference operator*() const { return *p_; }
  CountingIterator& operator++() {
    ++p_;
    ++*consumed_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator old = *this;
    ++*this;
    return old;
  }
  friend bool operator==(const CountingIterator& a, const CountingIterator& b) { return a.p_ == b.p_; }

 private:
  const char* p_;
  std::size_t* consumed_;
};

// Line and column of byte offsets in one text. Offsets asked for mostly grow, so each call
// continues the scan where the last one stopped instead of starting again (a large document
// would otherwise cost time quadratic in its size).
class PositionTracker {
 public:
  explicit PositionTracker(std::string_view text) : text_(text) {}

  Position at(std::size_t offset) {
    offset = std::min(offset, text_.size());
    if (offset < scanned_) {
      scanned_ = 0;
      line_ = 1;
      line_start_ = 0;
    }
    for (; scanned_ < offset; ++scanned_) {
      if (text_[scanned_] == '\n') {
        ++line_;
        line_start_ = scanned_ + 1;
      }
    }
    return Position{line_, offset - line_start_};
  }

 private:
  std::string_view text_;
  std::size_t scanned_ = 0;
  std::size_t line_ = 1;
  std::size_t line_start_ = 0;
};

Position position_at(std::string_view text, std::size_t offset) { return PositionTracker(text).at(offset); }

// Builds our value tree from nlohmann's SAX events and enforces the depth limit and finite numbers.
class TreeBuilder : public nlohmann::json_sax<nlohmann::json> {
 public:
  TreeBuilder(std::string_view text, const std::size_t* consumed)
      : text_(text), consumed_(consumed), positions_(text) {}

  bool null() override { return add(Value(nullptr)); }
  bool boolean(bool b) override { return add(Value(b)); }
  bool number_integer(number_integer_t v) override { return add_number(Value(static_cast<std::int64_t>(v))); }
  bool number_unsigned(number_unsigned_t v) override {
    return add_number(Value(static_cast<std::uint64_t>(v)));
  }
  bool number_float(number_float_t v, const string_t&) override {
    if (!std::isfinite(v)) return fail("number out of range");
    return add_number(Value(static_cast<double>(v)));
  }
  bool string(string_t& s) override { return add(Value(std::move(s))); }
  bool binary(binary_t&) override { return fail("expected value"); }
  bool start_object(std::size_t) override { return open(Value(Object{})); }
  bool key(string_t& name) override {
    pending_name_ = std::move(name);
    return true;
  }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Value(Array{})); }
  bool end_array() override { return close(); }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override {
    // `position` counts the bytes read, including the one that broke the text.
    error_ = Error{classify(ex.what(), position), positions_.at(position > 0 ? position - 1 : 0)};
    return false;
  }

  bool failed() const { return error_.has_value(); }
  Error take_error() { return std::move(*error_); }
  Value take_root() { return std::move(root_); }

 private:
  Position here() { return positions_.at(*consumed_); }

  bool fail(std::string message) {
    error_ = Error{std::move(message), here()};
    return false;
  }

  // Places a finished value into its parent (or as the root) and returns where it now lives.
  Value* place(Value v) { return place(std::move(v), here()); }
  Value* place(Value v, Position position) {
    v.set_position(position);
    if (stack_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Value& parent = *stack_.back();
    if (parent.is_array()) {
      parent.as_array().push_back(std::move(v));
      return &parent.as_array().back();
    }
    parent.as_object().push_back(Member{std::move(pending_name_), std::move(v)});
    pending_name_.clear();
    return &parent.as_object().back().value;
  }

  bool add(Value v) {
    place(std::move(v));
    return true;
  }

  // The lexer reads one byte past a number to see where it ends; step back over it.
  bool add_number(Value v) {
    std::size_t end = *consumed_;
    while (end > 0 && std::string_view("0123456789+-.eE").find(text_[end - 1]) == std::string_view::npos)
      --end;
    place(std::move(v), positions_.at(end));
    return true;
  }

  bool open(Value container) {
    if (stack_.size() >= kMaxDepth) return fail("recursion limit exceeded");
    stack_.push_back(place(std::move(container)));
    return true;
  }

  bool close() {
    stack_.pop_back();
    return true;
  }

  // Turns nlohmann's wording into the reader's own messages.
  std::string classify(std::string_view what, std::size_t position) const {
    if (what.find("number overflow") != std::string_view::npos) return "number out of range";
    if (what.find("unexpected end of input") != std::string_view::npos || position > text_.size()) {
      if (what.find("missing closing quote") != std::string_view::npos) return "EOF while parsing a string";
      if (stack_.empty()) return "EOF while parsing a value";
      return stack_.back()->is_array() ? "EOF while parsing a list" : "EOF while parsing an object";
    }
    if (what.find("expected end of input") != std::string_view::npos) return "trailing characters";
    if (what.find("ill-formed UTF-8") != std::string_view::npos) return "invalid unicode code point";
    if (what.find("while parsing value") != std::string_view::npos) return "expected value";
    if (what.find("while parsing object key") != std::string_view::npos) return "key must be a string";
    if (what.find("while parsing object separator") != std::string_view::npos) return "expected `:`";
    if (what.find("while parsing object") != std::string_view::npos) return "expected `,` or `}`";
    if (what.find("while parsing array") != std::string_view::npos) return "expected `,` or `]`";
    const auto colon = what.rfind(": ");
    return std::string(colon == std::string_view::npos ? what : what.substr(colon + 2));
  }

  std::string_view text_;
  const std::size_t* consumed_;
  PositionTracker positions_;
  Value root_;
  std::vector<Value*> stack_;
  std::string pending_name_;
  std::optional<Error> error_;
};

void write_string(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

std::string format_double(double d) {
  if (!std::isfinite(d)) return "null";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, res.ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  if (const auto plus = s.find("e+"); plus != std::string::npos) s.erase(plus + 1, 1);
  return s;
}

void write_value(std::string& out, const Value& v, int indent, int level) {
  const auto newline = [&](int lvl) {
    if (indent < 0) return;
    out.push_back('\n');
    out.append(static_cast<std::size_t>(indent * lvl), ' ');
  };
  switch (v.kind()) {
    case Value::Kind::Null:
      out += "null";
      break;
    case Value::Kind::Bool:
      out += v.as_bool() ? "true" : "false";
      break;
    case Value::Kind::Int:
      out += std::to_string(v.as_int());
      break;
    case Value::Kind::UInt:
      out += std::to_string(v.as_uint());
      break;
    case Value::Kind::Double:
      out += format_double(v.as_double());
      break;
    case Value::Kind::String:
      write_string(out, v.as_string());
      break;
    case Value::Kind::Array: {
      const Array& a = v.as_array();
      out.push_back('[');
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (i) out.push_back(',');
        newline(level + 1);
        write_value(out, a[i], indent, level + 1);
      }
      if (!a.empty()) newline(level);
      out.push_back(']');
      break;
    }
    case Value::Kind::Object: {
      const Object& o = v.as_object();
      out.push_back('{');
      for (std::size_t i = 0; i < o.size(); ++i) {
        if (i) out.push_back(',');
        newline(level + 1);
        write_string(out, o[i].name);
        out += indent < 0 ? ":" : ": ";
        write_value(out, o[i].value, indent, level + 1);
      }
      if (!o.empty()) newline(level);
      out.push_back('}');
      break;
    }
  }
}

std::string backquoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('`');
  out.append(s);
  out.push_back('`');
  return out;
}

}  // namespace

std::string Error::to_string() const {
  if (!position.known()) return message;
  return message + " at line " + std::to_string(position.line) + " column " + std::to_string(position.column);
}

const Value* Value::find(std::string_view name) const {
  if (!is_object()) return nullptr;
  const Object& members = as_object();
  for (auto it = members.rbegin(); it != members.rend(); ++it) {
    if (it->name == name) return &it->value;
  }
  return nullptr;
}

std::string Value::describe() const {
  switch (kind()) {
    case Kind::Null:
      return "null";
    case Kind::Bool:
      return std::string("boolean ") + (as_bool() ? "`true`" : "`false`");
    case Kind::Int:
      return "integer " + backquoted(std::to_string(as_int()));
    case Kind::UInt:
      return "integer " + backquoted(std::to_string(as_uint()));
    case Kind::Double:
      return "floating point " + backquoted(format_double(as_double()));
    case Kind::String: {
      std::string quoted;
      write_string(quoted, as_string());
      return "string " + quoted;
    }
    case Kind::Array:
      return "sequence";
    case Kind::Object:
      return "map";
  }
  return "value";
}

Result<Value> parse(std::string_view text) {
  // nlohmann quietly skips a byte order mark; a configuration file with one is not JSON.
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    return Error{"expected value", Position{1, 1}};
  }
  std::size_t consumed = 0;
  TreeBuilder builder(text, &consumed);
  const CountingIterator first(text.data(), &consumed);
  const CountingIterator last(text.data() + text.size(), &consumed);
  const bool ok = nlohmann::json::sax_parse(first, last, &builder, nlohmann::json::input_format_t::json,
                                            /*strict=*/true, /*ignore_comments=*/false);
  if (!ok || builder.failed()) {
    if (builder.failed()) return builder.take_error();
    return Error{"expected value", position_at(text, consumed)};
  }
  return builder.take_root();
}

std::string write_compact(const Value& value) {
  std::string out;
  write_value(out, value, -1, 0);
  return out;
}

std::string write_pretty(const Value& value) {
  std::string out;
  write_value(out, value, 2, 0);
  return out;
}

Error invalid_type(const Value& found, std::string_view expected) {
  return Error{"invalid type: " + found.describe() + ", expected " + std::string(expected), found.position()};
}

Error invalid_value(const Value& found, std::string_view expected) {
  return Error{"invalid value: " + found.describe() + ", expected " + std::string(expected),
               found.position()};
}

Error invalid_length(std::size_t length, std::string_view expected, Position at) {
  return Error{"invalid length " + std::to_string(length) + ", expected " + std::string(expected), at};
}

Error duplicate_field(std::string_view name, Position at) {
  return Error{"duplicate field " + backquoted(name), at};
}

Error unknown_variant(std::string_view variant, std::initializer_list<std::string_view> expected,
                      Position at) {
  std::string message = "unknown variant " + backquoted(variant) + ", expected ";
  std::size_t i = 0;
  for (std::string_view e : expected) {
    if (i > 0) message += (i + 1 == expected.size()) ? " or " : ", ";
    message += backquoted(e);
    ++i;
  }
  if (expected.size() == 0) message += "nothing";
  return Error{std::move(message), at};
}

Error missing_field(std::string_view name, Position at) {
  return Error{"missing field " + backquoted(name), at};
}

}  // namespace qrx_json
