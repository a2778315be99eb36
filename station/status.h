// Outcome of one operation that can fail: success, or a short text saying what went wrong.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace vorkel {

class [[nodiscard]] Status {
  public:
    static Status success() { return Status(); }

    // The one form of a failure's reason: what was being done, to what, and why. The why is
    // Windows' own ("opening \\.\COM1: error 2: The system cannot find the file specified.",
    // from win::windowsErrorText) or says in words what went wrong ("writing to \\.\COM1:
    // U+00E9 at position 5 is not a 7-bit character"). An empty object leaves its place out.
    static Status failure(std::string_view doing, std::string_view object, std::string_view why) {
        std::string text(doing);
        if (!object.empty()) {
            text += ' ';
            text += object;
        }
        text += ": ";
        text += why;
        return Status(std::move(text));
    }
    // A reason already whole: a failure passed on, or a fake's in the tests.
    static Status failure(std::string what) { return Status(std::move(what)); }

    bool ok() const { return !failed_; }
    // Empty on success.
    const std::string& text() const { return text_; }

  private:
    Status() = default;
    explicit Status(std::string what) : failed_(true), text_(std::move(what)) {}

    bool failed_ = false;
    std::string text_;
};

}  // namespace vorkel
