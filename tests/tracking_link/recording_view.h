// A window stand-in that keeps every text the link writes, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/win/field_only_view.h"

namespace vorkel::testing {

class RecordingView final : public FieldOnlyView {
  public:
    std::vector<std::pair<Field, std::wstring>> writes;

    std::wstring label() const { return writes.empty() ? std::wstring() : writes.back().second; }

    std::wstring fieldText(Field field) const override {
        for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
            if (it->first == field) {
                return it->second;
            }
        }
        return {};
    }
    void setFieldText(Field field, const std::wstring& text) override {
        writes.emplace_back(field, text);
    }
};

}  // namespace vorkel::testing
