// Outcome of one operation that can fail: success, or a short text saying what went wrong.
#pragma once

#include <string>
#include <utility>

namespace vorkel {

class [[nodiscard]] Status {
  public:
    static Status success() { return Status(); }
    static Status failure(std::string what) { return Status(std::move(what)); }

    bool ok() const { return !failed_; }
    // Empty on success; otherwise e.g. "opening COM1: error 2: file not found".
    const std::string& text() const { return text_; }

  private:
    Status() = default;
    explicit Status(std::string what) : failed_(true), text_(std::move(what)) {}

    bool failed_ = false;
    std::string text_;
};

}  // namespace vorkel
