#pragma once
// Internal failures carry the result code that addZIP will return, plus a detail for tests
// and debugging (which file, which step, the system's reason).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ch::azip {

class Failure : public std::runtime_error {
  public:
    Failure(int32_t code, const std::string& detail) : std::runtime_error(detail), code_(code) {}
    int32_t code() const { return code_; }

  private:
    int32_t code_;
};

} // namespace ch::azip
