// FrameTestPlugin: a plugin that uses every registration the frame offers, so
// the host-facing answers can be checked through plugMain. No GL work.
//
// Parameter behaviour worth knowing in tests:
//   - setting "Trigger" to 1 raises event flag 2 on "Standard" and "Count";
//   - "Boolean" on hides "Counter" in this instance's registry, off shows it;
//   - "Counter" (hidden) reads as the number of frames processed.
#include <string>

#include "host/FFGLSDK.h"
#include "tests/host/modules/TestModuleSupport.h"

namespace {

enum Param : unsigned int {
    Standard,
    Boolean,
    Trigger,
    Red,
    Green,
    Blue,
    Hue,
    Saturation,
    Brightness,
    Alpha,
    Option,
    Bands,
    Count,
    Image,
    Caption,
    Counter,
    LongName,
    NumParams
};

class FrameTestPlugin : public CFFGLPlugin {
public:
    FrameTestPlugin() : CFFGLPlugin(true) {
        Trace('N');
        SetMinInputs(1);
        SetMaxInputs(1);
        SetParamInfo(Standard, "Standard", FF_TYPE_STANDARD, 0.25f);
        SetParamGroup(Standard, "Geometry Group");
        SetParamInfo(Boolean, "Boolean", FF_TYPE_BOOLEAN, true);
        SetParamInfo(Trigger, "Trigger", FF_TYPE_EVENT, false);
        SetParamInfo(Red, "Red", FF_TYPE_RED, 1.0f);
        SetParamInfo(Green, "Green", FF_TYPE_GREEN, 0.5f);
        SetParamInfo(Blue, "Blue", FF_TYPE_BLUE, 0.0f);
        SetParamInfo(Hue, "Hue", FF_TYPE_HUE, 0.1f);
        SetParamInfo(Saturation, "Saturation", FF_TYPE_SATURATION, 0.2f);
        SetParamInfo(Brightness, "Brightness", FF_TYPE_BRIGHTNESS, 0.3f);
        SetParamInfo(Alpha, "Alpha", FF_TYPE_ALPHA, 1.0f);
        for (unsigned int p : {Red, Green, Blue}) SetParamGroup(p, "Colour");
        for (unsigned int p : {Hue, Saturation, Brightness, Alpha}) SetParamGroup(p, "Tint");
        SetOptionParamInfo(Option, "Mode", 3, 1.0f);
        SetParamElementInfo(Option, 0, "Add", 0.0f);
        SetParamElementInfo(Option, 1, "Multiply", 1.0f);
        SetParamElementInfo(Option, 2, "Screen", 2.0f);
        AddElementSeparator(Option, 1);
        SetBufferParamInfo(Bands, "Bands", 4, FF_USAGE_FFT);
        SetParamInfo(Count, "Count", FF_TYPE_INTEGER, 7.0f);
        SetParamRange(Count, 0.0f, 16.0f);
        SetFileParamInfo(Image, "Image", {"png", "jpg"}, "default.png");
        SetParamInfo(Caption, "Caption", FF_TYPE_TEXT, "hello");
        SetParamInfo(Counter, "Counter", FF_TYPE_STANDARD, 0.0f);
        SetParamVisibility(Counter, false);
        SetParamInfo(LongName, "ABCDEFGHIJKLMNOPQRST", FF_TYPE_STANDARD, 1.5f);
    }
    ~FrameTestPlugin() override { Trace('X'); }

    FFResult InitGL(const FFGLViewportStruct* viewport) override {
        Trace('I');
        return CFFGLPlugin::InitGL(viewport);
    }
    FFResult DeInitGL() override {
        Trace('U');
        return FF_SUCCESS;
    }
    FFResult Connect() override {
        Trace('C');
        return Control().connectResult;
    }
    FFResult Disconnect() override {
        Trace('D');
        return Control().disconnectResult;
    }
    FFResult Resize(const FFGLViewportStruct* viewport) override {
        Trace('R');
        return CFFGLPlugin::Resize(viewport);
    }
    FFResult ProcessOpenGL(ProcessOpenGLStruct*) override {
        Trace('P');
        values[Counter] += 1.0f;
        return FF_SUCCESS;
    }

    FFResult SetFloatParameter(unsigned int index, float value) override {
        if (index >= NumParams || index == Image || index == Caption) return FF_FAIL;
        values[index] = value;
        if (index == Trigger && value >= 0.5f) {
            RaiseParamEvent(Standard, FF_EVENT_FLAG_VALUE);
            RaiseParamEvent(Count, FF_EVENT_FLAG_VALUE);
        }
        if (index == Boolean) SetParamVisibility(Counter, value < 0.5f);
        return FF_SUCCESS;
    }
    float GetFloatParameter(unsigned int index) override { return index < NumParams ? values[index] : 0.0f; }

    FFResult SetTextParameter(unsigned int index, const char* value) override {
        if (index != Image && index != Caption) return FF_FAIL;
        texts[index] = value ? value : "";
        return FF_SUCCESS;
    }
    char* GetTextParameter(unsigned int index) override {
        if (index != Image && index != Caption) return CFFGLPlugin::GetTextParameter(index);
        return &texts[index][0];
    }

    char* GetShortName() override {
        static char shortName[] = "FrameT";
        return shortName;
    }

private:
    float values[NumParams] = {};
    std::string texts[NumParams];
};

CFFGLPluginInfo PluginInfo(PluginFactory<FrameTestPlugin>, "FRMT", "Frame Test", 2, 1, 1, 3, FF_EFFECT,
                           "Exercises the plugin frame", "Tessivar frame tests");

// Three colours for a 2 x 2 picture: the fourth pixel is padded with 0.
CFFGLThumbnailInfo Thumbnail(2, 2, std::vector<CFFGLColor>{0x11223344u, 0x55667788u, 0x99AABBCCu});

}  // namespace
