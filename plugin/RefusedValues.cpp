#include "plugin/RefusedValues.h"

#include "framework/StringUtils.h"

namespace trov {

namespace {

thread_local RefusedValues* current = nullptr;

// A document's text may be long: enough of it to recognise.
constexpr std::size_t kShownText = 24;

std::string shown(const std::string& text) {
    return "\"" + cutWithEllipsis(text, kShownText) + "\"";
}

} // namespace

RefusedValues::RefusedValues() : outer_(current) {
    current = this;
}

RefusedValues::~RefusedValues() {
    current = outer_;
}

void RefusedValues::record(const std::string& name, const std::string& text) {
    RefusedValues* scope = current;
    if (scope == nullptr)
        return;
    ++scope->count_;
    if (scope->named_.size() < kNamed)
        scope->named_.emplace_back(name, text);
}

std::string RefusedValues::message() const {
    if (count_ == 0)
        return std::string();
    std::string text =
        count_ == 1 ? std::string("1 value of these settings is not a decimal number and was")
                    : std::to_string(count_) + " values of these settings are not decimal numbers and were";
    text += " not loaded (each setting keeps the value it had): ";
    for (std::size_t i = 0; i < named_.size(); ++i)
        text += (i > 0 ? ", " : "") + named_[i].first + " " + shown(named_[i].second);
    if (count_ > named_.size())
        text += " and " + std::to_string(count_ - named_.size()) + " more";
    return text + ".";
}

} // namespace trov
