// The engine's JSON: one reader with the rules every configuration, patch, profile table and
// built-in table shares, a value tree that keeps members in document order (repeated names
// included, so that each reader decides what a repetition means), and compact and pretty writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace qrx_json {

// Deepest nesting of arrays and objects the reader accepts.
inline constexpr std::size_t kMaxDepth = 128;

struct Position {
  std::size_t line = 0;    // 1-based; 0 when the value was not read from text
  std::size_t column = 0;  // 1-based byte column
  bool known() const { return line != 0; }
};

// A reading failure. `message` holds the reason ("duplicate field `spell_check`",
// "invalid type: null, expected a boolean", "EOF while parsing a value", ...); errors found
// while reading text also carry where reading stopped.
struct Error {
  std::string message;
  Position position;

  // The message, followed by " at line L column C" when the position is known.
  std::string to_string() const;
};

class Value;
struct Member;
using Array = std::vector<Value>;
// Members in document order. A repeated name appears once per occurrence.
using Object = std::vector<Member>;

class Value {
 public:
  enum class Kind { Null, Bool, Int, UInt, Double, String, Array, Object };

  // Constructors are defined below Member, where every alternative is a complete type.
  Value();
  Value(std::nullptr_t);
  Value(bool b);
  Value(int v);
  Value(std::int64_t v);  // non-negative values are stored as UInt
  Value(std::uint64_t v);
  Value(std::uint32_t v);
  Value(double v);
  Value(std::string s);
  Value(std::string_view s);
  Value(const char* s);
  Value(qrx_json::Array a);
  Value(qrx_json::Object o);

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Bool; }
  bool is_string() const { return kind() == Kind::String; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }
  // Int holds negative integers only; non-negative integers are UInt.
  bool is_integer() const { return kind() == Kind::Int || kind() == Kind::UInt; }
  bool is_number() const { return is_integer() || kind() == Kind::Double; }

  // Accessors; calling one for another kind is a programming error (std::bad_variant_access).
  bool as_bool() const { return std::get<bool>(data_); }
  std::int64_t as_int() const { return std::get<std::int64_t>(data_); }
  std::uint64_t as_uint() const { return std::get<std::uint64_t>(data_); }
  double as_double() const { return std::get<double>(data_); }
  const std::string& as_string() const { return std::get<std::string>(data_); }
  const qrx_json::Array& as_array() const { return std::get<qrx_json::Array>(data_); }
  qrx_json::Array& as_array() { return std::get<qrx_json::Array>(data_); }
  const qrx_json::Object& as_object() const;
  qrx_json::Object& as_object();

  // Map lookup on an object: the last member with that name (a later member wins), or null
  // when there is none or this is not an object.
  const Value* find(std::string_view name) const;

  // Where the value started in the text it was read from (unknown for built values).
  Position position() const { return position_; }
  void set_position(Position p) { position_ = p; }

  // How serde-style messages name the value: "boolean `true`", "integer `5`",
  // "floating point `1.5`", "string \"abc\"", "null", "sequence", "map".
  std::string describe() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double, std::string, qrx_json::Array,
               qrx_json::Object>
      data_;
  Position position_{};
};

struct Member {
  std::string name;
  Value value;
  friend bool operator==(const Member& a, const Member& b) { return a.name == b.name && a.value == b.value; }
};

// Defined here, where Member is complete (some standard libraries insist on it).
inline Value::Value() = default;
inline Value::Value(std::nullptr_t) {}
inline Value::Value(bool b) : data_(b) {}
inline Value::Value(int v) : Value(static_cast<std::int64_t>(v)) {}
inline Value::Value(std::int64_t v) {
  if (v < 0) {
    data_ = v;
  } else {
    data_ = static_cast<std::uint64_t>(v);
  }
}
inline Value::Value(std::uint64_t v) : data_(v) {}
inline Value::Value(std::uint32_t v) : data_(static_cast<std::uint64_t>(v)) {}
inline Value::Value(double v) : data_(v) {}
inline Value::Value(std::string s) : data_(std::move(s)) {}
inline Value::Value(std::string_view s) : data_(std::string(s)) {}
inline Value::Value(const char* s) : data_(std::string(s)) {}
inline Value::Value(qrx_json::Array a) : data_(std::move(a)) {}
inline Value::Value(qrx_json::Object o) : data_(std::move(o)) {}
inline const qrx_json::Object& Value::as_object() const { return std::get<qrx_json::Object>(data_); }
inline qrx_json::Object& Value::as_object() { return std::get<qrx_json::Object>(data_); }
inline bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

// Either a value or the error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : data_(std::move(value)) {}
  Result(Error error) : data_(std::move(error)) {}
  bool ok() const { return data_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(data_); }
  T& value() & { return std::get<0>(data_); }
  T&& value() && { return std::get<0>(std::move(data_)); }
  const Error& error() const { return std::get<1>(data_); }

 private:
  std::variant<T, Error> data_;
};

// Reads one JSON text: a single value, surrounded only by space, tab, LF or CR. A byte order
// mark, invalid UTF-8, nesting deeper than kMaxDepth, a number too large for a double and any
// trailing character are errors.
Result<Value> parse(std::string_view text);

// Writers. Strings are written as UTF-8 with only the characters JSON requires escaped;
// object members come out in their stored order.
std::string write_compact(const Value& value);
std::string write_pretty(const Value& value);  // two-space indentation, "name": value

// Error builders with the messages every typed reader uses; each takes the position of `at`.
Error invalid_type(const Value& found, std::string_view expected);   // "invalid type: X, expected E"
Error invalid_value(const Value& found, std::string_view expected);  // "invalid value: X, expected E"
Error invalid_length(std::size_t length, std::string_view expected, Position at = {});
Error duplicate_field(std::string_view name, Position at = {});  // "duplicate field `name`"
Error unknown_variant(std::string_view variant, std::initializer_list<std::string_view> expected,
                      Position at = {});                       // "unknown variant `x`, expected `a` or `b`"
Error missing_field(std::string_view name, Position at = {});  // "missing field `name`"

}  // namespace qrx_json
