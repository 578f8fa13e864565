// Where the input method tells the person at the keyboard what it could not do, and leaves a
// trace for whoever looks into it later. Neither ever carries the user's text: what was typed,
// macros, the values of a configuration; files, places and reasons are named instead.
#pragma once

#include <string_view>

namespace quorvix::platform {

class Reports {
 public:
  virtual ~Reports() = default;
  // Tells the user, where the desktop shows such news, and leaves the trace of it.
  virtual void tell(std::string_view title, std::string_view details) = 0;
  // Leaves a trace only: news nobody needs to be interrupted for.
  virtual void trace(std::string_view line) = 0;
  // Leaves the trace of a failure nobody is told of, such as a file that could not be written.
  virtual void warn(std::string_view line) = 0;
  // Leaves a trace only whoever looks into what the input method does asks for: what it did on
  // purpose, such as a word that started over rather than replace text it could not vouch for.
  virtual void debug(std::string_view line) = 0;
};

}  // namespace quorvix::platform
