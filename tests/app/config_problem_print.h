// How a failed expectation shows a configuration problem.
#pragma once

#include <ostream>

#include "quorvix_app/config_file.h"

namespace quorvix::app {

inline void PrintTo(const ConfigProblem& problem, std::ostream* os) {
  *os << "line " << problem.line << " column " << problem.column << ": " << problem.what << " (effect "
      << static_cast<int>(problem.effect) << ")";
}

}  // namespace quorvix::app
