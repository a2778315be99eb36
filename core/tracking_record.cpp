// Fields are taken by position: each begins with a two-character tag that is skipped unread, the
// first four end at a blank, and the last runs to the end of the record less its final two
// characters. The one exception is where the name ends: names come from the element files with
// their blanks and padding, so when the record has an azimuth field (" AZ" and the start of a
// number) the name runs up to it, less its trailing blanks.
#include "core/tracking_record.h"

#include <array>
#include <cstddef>
#include <utility>

namespace vorkel {
namespace {

// Positions are 1-based as in the record layout; `mid` takes `length` characters from `start`
// and cuts at the end of the text, so a start past the end gives an empty value.
std::wstring mid(std::wstring_view text, std::ptrdiff_t start, std::ptrdiff_t length) {
    const auto size = static_cast<std::ptrdiff_t>(text.size());
    if (start > size || length == 0) {
        return {};
    }
    const std::ptrdiff_t available = size - start + 1;
    return std::wstring(
        text.substr(static_cast<std::size_t>(start - 1),
                    static_cast<std::size_t>(length < available ? length : available)));
}

class RecordCutter {
  public:
    explicit RecordCutter(std::wstring_view text)
        : text_(text), size_(static_cast<std::ptrdiff_t>(text.size())) {}

    // Moves i to the next blank; false when the text ends first.
    bool scanToBlank() {
        while (i_ <= size_ && charAt(i_) != L' ') {
            ++i_;
        }
        return i_ <= size_;
    }

    bool cutName(std::wstring& value) {
        if (const std::ptrdiff_t blank = azimuthFieldBlank(); blank != 0) {
            i_ = blank;
            value = mid(text_, 3, i_ - 3);
            value.erase(value.find_last_not_of(L' ') + 1);
            return true;
        }
        if (!scanToBlank()) {
            return false;
        }
        return take(3, i_ - 3, value);
    }

    // Azimuth, elevation and downlink: step past the blank, skip the tag, run to the next blank.
    bool cutInnerField(std::wstring& value) {
        ++i_;
        const std::ptrdiff_t j = i_;
        if (!scanToBlank()) {
            return false;
        }
        return take(j + 2, i_ - j - 2, value);
    }

    // The uplink is not scanned: it keeps its blanks and loses the record's last two characters.
    bool cutLastField(std::wstring& value) {
        ++i_;
        const std::ptrdiff_t j = i_;
        return take(j + 2, size_ - j - 3, value);
    }

  private:
    // The first blank from the name's start on that is followed by "AZ" and a character a number
    // can begin with; 0 if there is none.
    std::ptrdiff_t azimuthFieldBlank() const {
        for (std::ptrdiff_t at = 3; at + 3 <= size_; ++at) {
            if (charAt(at) == L' ' && charAt(at + 1) == L'A' && charAt(at + 2) == L'Z' &&
                beginsNumber(charAt(at + 3))) {
                return at;
            }
        }
        return 0;
    }

    static bool beginsNumber(wchar_t c) {
        return (c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c == L'.';
    }

    wchar_t charAt(std::ptrdiff_t position) const {
        return text_[static_cast<std::size_t>(position - 1)];
    }

    bool take(std::ptrdiff_t start, std::ptrdiff_t length, std::wstring& value) const {
        if (length < 0) {
            return false;
        }
        value = mid(text_, start, length);
        return true;
    }

    std::wstring_view text_;
    std::ptrdiff_t size_;
    std::ptrdiff_t i_ = 1;
};

}  // namespace

ParsedRecord parseTrackingRecord(std::wstring_view text) {
    using Cut = bool (RecordCutter::*)(std::wstring&);
    ParsedRecord result;
    TrackingRecord& r = result.record;
    const std::array<std::pair<Cut, std::wstring*>, 5> fields = {{
        {&RecordCutter::cutName, &r.name},
        {&RecordCutter::cutInnerField, &r.azimuth},
        {&RecordCutter::cutInnerField, &r.elevation},
        {&RecordCutter::cutInnerField, &r.downlink},
        {&RecordCutter::cutLastField, &r.uplink},
    }};
    RecordCutter cutter(text);
    for (const auto& [cut, value] : fields) {
        if (!(cutter.*cut)(*value)) {
            result.failed = true;
            break;
        }
        ++result.fieldsCut;
    }
    return result;
}

}  // namespace vorkel
