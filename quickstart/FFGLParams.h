// FFGLParams -- the parameter objects of quick-start plugins.
//
// A parameter object holds one host-visible value, its name (which is also
// the name of the GLSL uniform that carries it) and its FFGL type code. A
// plugin creates them with the static factories, hands them to
// Plugin::AddParam, and keeps the shared pointer if it wants to read the value
// later:
//
//     auto gain = ffglqs::ParamRange::Create("gain", 1.0f, { 0.0f, 4.0f });
//     AddParam(gain);
//     ... gain->GetValue() ...
//
// Classes: Param (plain float; also the members of colour groups), ParamBool,
// ParamEvent, ParamTrigger (an event the plugin base resets after every
// frame), ParamText, ParamRange (float or integer with a range), ParamOption
// (a list of named numbers; the host sees the option's index) and ParamFFT
// (an audio spectrum buffer the host fills element by element).
//
// Everything here runs on the host's thread; nothing locks.
#pragma once

#include "host/FFGLABI.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ffglqs {

// Default number of FFT bins of a ParamFFT.
constexpr int DEFAULT_BUFFER_SIZE = 2048;

class Param {
public:
    static std::shared_ptr<Param> Create();
    static std::shared_ptr<Param> Create(std::string name);
    static std::shared_ptr<Param> Create(std::string name, float value);
    static std::shared_ptr<Param> Create(std::string name, unsigned int type, float value);

    Param() = default;
    explicit Param(std::string name);
    Param(std::string name, float value);
    Param(std::string name, unsigned int type, float value);
    // Virtual so that a parameter is destroyed whole however it is held.
    virtual ~Param() = default;

    virtual void SetValue(float v);
    virtual float GetValue() const;

    const std::string& GetName() const { return name; }
    unsigned int GetType() const { return type; }

protected:
    float value = 0.0f;
    std::string name;
    unsigned int type = FF_TYPE_STANDARD;
};

class ParamBool : public Param {
public:
    static std::shared_ptr<ParamBool> Create(std::string name);
    static std::shared_ptr<ParamBool> Create(std::string name, bool value);

    explicit ParamBool(std::string name);
    ParamBool(std::string name, bool value);
};

// A momentary press the plugin handles itself; the value stays as the host
// left it.
class ParamEvent : public Param {
public:
    static std::shared_ptr<ParamEvent> Create(std::string name);
    explicit ParamEvent(std::string name);
};

// A momentary press that lasts one frame: the plugin base resets it to 0
// after every processed frame.
class ParamTrigger : public Param {
public:
    static std::shared_ptr<ParamTrigger> Create(std::string name);
    explicit ParamTrigger(std::string name);

    void Consume() { value = 0.0f; }
};

class ParamText : public Param {
public:
    // (Lower case, unlike Param::Create: the framework's own name, kept as plugins call it.)
    static std::shared_ptr<ParamText> create(std::string name);
    static std::shared_ptr<ParamText> create(std::string name, std::string text);

    explicit ParamText(std::string name);
    ParamText(std::string name, std::string text);

    std::string text;  // the string value; the plugin base reads and writes it
};

class ParamRange : public Param {
public:
    struct Range {
        Range(float min_, float max_) : min(min_), max(max_) {}
        float min;
        float max;
    };

    static std::shared_ptr<ParamRange> Create(std::string name, float value, Range range);
    // Type FF_TYPE_INTEGER: the host shows whole numbers.
    static std::shared_ptr<ParamRange> CreateInteger(std::string name, int value, Range range);

    ParamRange(std::string name, float value, Range range);

    Range GetRange() const { return range; }
    // The value placed in the range as 0..1, clamped (NaN counts as 0).
    float GetNormalizedValue() const;

private:
    Range range;
};

// A choice among named numbers. The value the host sets and reads is the
// option's index; GetRealValue gives the selected option's own number.
class ParamOption : public Param {
public:
    struct Option {
        std::string name;
        float value;
    };
    using Options = std::vector<Option>;

    static std::shared_ptr<ParamOption> Create(std::string name, Options options);
    static std::shared_ptr<ParamOption> Create(std::string name, Options options, int defaultIndex);

    ParamOption(std::string name, Options options);
    ParamOption(std::string name, Options options, int defaultIndex);

    // Selects the option whose index is v truncated toward zero. An index
    // outside the list (negative and NaN included) stores 0 and selects the
    // first option; with no options at all nothing is selected.
    void SetValue(float v) override;

    float GetRealValue() const { return realValue; }
    bool IsCurrentOption(const std::string& optionName) const { return optionName == currentOption; }
    const std::string& GetCurrentOption() const { return currentOption; }
    const Options& GetOptions() const { return options; }

private:
    Options options;
    std::string currentOption;
    float realValue = 0.0f;
};

// An audio spectrum buffer. The plugin base gives it its parameter index when
// it is added and refills fftData from the host's element values every frame.
class ParamFFT : public Param {
public:
    static std::shared_ptr<ParamFFT> Create(std::string name);
    // Throws std::length_error for a count no vector can hold.
    static std::shared_ptr<ParamFFT> Create(std::string name, uint64_t binCount);

    ParamFFT(std::string name, uint64_t binCount);

    unsigned int index = 0;      // the parameter's index in its plugin
    std::vector<float> fftData;  // one magnitude per bin
};

}  // namespace ffglqs
