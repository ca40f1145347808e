#include "quickstart/FFGLParams.h"

#include <cstddef>
#include <stdexcept>
#include <utility>

namespace ffglqs {

// ---- Param ------------------------------------------------------------------
std::shared_ptr<Param> Param::Create() { return std::make_shared<Param>(); }
std::shared_ptr<Param> Param::Create(std::string name_) { return std::make_shared<Param>(std::move(name_)); }
std::shared_ptr<Param> Param::Create(std::string name_, float value_) {
    return std::make_shared<Param>(std::move(name_), value_);
}
std::shared_ptr<Param> Param::Create(std::string name_, unsigned int type_, float value_) {
    return std::make_shared<Param>(std::move(name_), type_, value_);
}

Param::Param(std::string name_) : name(std::move(name_)) {}
Param::Param(std::string name_, float value_) : value(value_), name(std::move(name_)) {}
Param::Param(std::string name_, unsigned int type_, float value_)
    : value(value_), name(std::move(name_)), type(type_) {}

void Param::SetValue(float v) { value = v; }
float Param::GetValue() const { return value; }

// ---- bool, event, trigger, text ------------------------------------------------
std::shared_ptr<ParamBool> ParamBool::Create(std::string name_) {
    return std::make_shared<ParamBool>(std::move(name_));
}
std::shared_ptr<ParamBool> ParamBool::Create(std::string name_, bool value_) {
    return std::make_shared<ParamBool>(std::move(name_), value_);
}
ParamBool::ParamBool(std::string name_) : Param(std::move(name_), FF_TYPE_BOOLEAN, 0.0f) {}
ParamBool::ParamBool(std::string name_, bool value_) : Param(std::move(name_), FF_TYPE_BOOLEAN, value_ ? 1.0f : 0.0f) {}

std::shared_ptr<ParamEvent> ParamEvent::Create(std::string name_) {
    return std::make_shared<ParamEvent>(std::move(name_));
}
ParamEvent::ParamEvent(std::string name_) : Param(std::move(name_), FF_TYPE_EVENT, 0.0f) {}

std::shared_ptr<ParamTrigger> ParamTrigger::Create(std::string name_) {
    return std::make_shared<ParamTrigger>(std::move(name_));
}
ParamTrigger::ParamTrigger(std::string name_) : Param(std::move(name_), FF_TYPE_EVENT, 0.0f) {}

std::shared_ptr<ParamText> ParamText::create(std::string name_) {
    return std::make_shared<ParamText>(std::move(name_));
}
std::shared_ptr<ParamText> ParamText::create(std::string name_, std::string text_) {
    return std::make_shared<ParamText>(std::move(name_), std::move(text_));
}
ParamText::ParamText(std::string name_) : Param(std::move(name_), FF_TYPE_TEXT, 0.0f) {}
ParamText::ParamText(std::string name_, std::string text_)
    : Param(std::move(name_), FF_TYPE_TEXT, 0.0f), text(std::move(text_)) {}

// ---- range ------------------------------------------------------------------
std::shared_ptr<ParamRange> ParamRange::Create(std::string name_, float value_, Range range_) {
    return std::make_shared<ParamRange>(std::move(name_), value_, range_);
}
std::shared_ptr<ParamRange> ParamRange::CreateInteger(std::string name_, int value_, Range range_) {
    auto param = std::make_shared<ParamRange>(std::move(name_), static_cast<float>(value_), range_);
    param->type = FF_TYPE_INTEGER;
    return param;
}
ParamRange::ParamRange(std::string name_, float value_, Range range_)
    : Param(std::move(name_), FF_TYPE_STANDARD, value_), range(range_) {}

float ParamRange::GetNormalizedValue() const {
    const float t = (value - range.min) / (range.max - range.min);
    // Written so that NaN (an empty range, or a NaN value) lands on 0.
    if (t > 1.0f) return 1.0f;
    if (t >= 0.0f) return t;
    return 0.0f;
}

// ---- option -----------------------------------------------------------------
std::shared_ptr<ParamOption> ParamOption::Create(std::string name_, Options options_) {
    return std::make_shared<ParamOption>(std::move(name_), std::move(options_));
}
std::shared_ptr<ParamOption> ParamOption::Create(std::string name_, Options options_, int defaultIndex) {
    return std::make_shared<ParamOption>(std::move(name_), std::move(options_), defaultIndex);
}
ParamOption::ParamOption(std::string name_, Options options_) : ParamOption(std::move(name_), std::move(options_), 0) {}
ParamOption::ParamOption(std::string name_, Options options_, int defaultIndex)
    : Param(std::move(name_), FF_TYPE_OPTION, static_cast<float>(defaultIndex)), options(std::move(options_)) {
    ParamOption::SetValue(static_cast<float>(defaultIndex));
}

void ParamOption::SetValue(float v) {
    // Compare before converting: a float outside the unsigned range (or NaN)
    // must never reach the conversion, and never index the list.
    const bool inList = v >= 0.0f && v < static_cast<float>(options.size());
    const size_t index = inList ? static_cast<size_t>(v) : 0;
    value = inList ? v : 0.0f;
    if (index < options.size()) {
        currentOption = options[index].name;
        realValue = options[index].value;
    } else {
        currentOption.clear();
        realValue = 0.0f;
    }
}

// ---- FFT --------------------------------------------------------------------
std::shared_ptr<ParamFFT> ParamFFT::Create(std::string name_) {
    return std::make_shared<ParamFFT>(std::move(name_), static_cast<uint64_t>(DEFAULT_BUFFER_SIZE));
}
std::shared_ptr<ParamFFT> ParamFFT::Create(std::string name_, uint64_t binCount) {
    return std::make_shared<ParamFFT>(std::move(name_), binCount);
}
ParamFFT::ParamFFT(std::string name_, uint64_t binCount) : Param(std::move(name_), FF_TYPE_STANDARD, 0.0f) {
    if (binCount > fftData.max_size()) throw std::length_error("ParamFFT: bin count too large");
    fftData.assign(static_cast<size_t>(binCount), 0.0f);
    type = FF_TYPE_BUFFER;
}

}  // namespace ffglqs
