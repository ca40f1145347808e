#include "quickstart/FFGLQuickstartPlugin.h"

#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLUtilities.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace ffglqs {

namespace {

// Every uniform the generated shader can rely on, whatever the variant.
const char* const kFragmentHeader =
    "\n\t\t#version 410 core\n\t\tout vec4 fragColor;\n\t\tuniform vec2 resolution;\n\t\tuniform float time;\n\t\tuniform float deltaTime;\n\t\tuniform int frame;\n\t\tuniform float bpm;\n\t\tuniform float phase;\n\t";

char* FailText() { return reinterpret_cast<char*>(static_cast<uintptr_t>(FF_FAIL)); }

}  // namespace

char Plugin::displayValueBuffer[16] = {};

Plugin::Plugin(bool supportTopLeftTextureOrientation)
    : CFFGLPlugin(supportTopLeftTextureOrientation),
      startTime(std::chrono::steady_clock::now()),
      fragmentShaderBase(kFragmentHeader) {}

Plugin::~Plugin() = default;

// ---- building ---------------------------------------------------------------------

void Plugin::AddParam(std::shared_ptr<Param> param) {
    if (!param) return;
    const auto index = static_cast<unsigned int>(params.size());
    if (auto text = std::dynamic_pointer_cast<ParamText>(param)) {
        // The host pushes registered defaults into every new instance: a text
        // registered without its own default would arrive there empty.
        SetParamInfo(index, param->GetName().c_str(), param->GetType(), text->text.c_str());
    } else {
        SetParamInfo(index, param->GetName().c_str(), param->GetType(), param->GetValue());
    }
    params.push_back(std::move(param));
}

void Plugin::AddParam(std::shared_ptr<ParamRange> param) {
    if (!param) return;
    const auto index = static_cast<unsigned int>(params.size());
    SetParamInfo(index, param->GetName().c_str(), param->GetType(), param->GetValue());
    const ParamRange::Range range = param->GetRange();
    SetParamRange(index, range.min, range.max);
    // The registry keeps standard defaults inside 0..1, but a ranged value is
    // in the range's own units and every new instance starts from the
    // registered default: keep the value the plugin asked for.
    if (ParamInfo* info = FindParamInfo(index)) info->defaultValue = param->GetValue();
    params.push_back(std::move(param));
}

void Plugin::AddParam(std::shared_ptr<ParamOption> param) {
    if (!param) return;
    const auto index = static_cast<unsigned int>(params.size());
    const auto& options = param->GetOptions();
    SetOptionParamInfo(index, param->GetName().c_str(), static_cast<unsigned int>(options.size()), param->GetValue());
    for (size_t k = 0; k < options.size(); ++k)
        SetParamElementInfo(index, static_cast<unsigned int>(k), options[k].name.c_str(), static_cast<float>(k));
    params.push_back(std::move(param));
}

void Plugin::AddParam(std::shared_ptr<ParamFFT> param) {
    if (!param) return;
    const auto index = static_cast<unsigned int>(params.size());
    audioParams[param] = Audio();
    param->index = index;
    SetBufferParamInfo(index, param->GetName().c_str(), static_cast<unsigned int>(param->fftData.size()), FF_USAGE_FFT);
    params.push_back(std::move(param));
}

void Plugin::AddHueColorParam(const std::string& name) {
    AddParam(Param::Create(name, FF_TYPE_HUE, 0.0f));
    AddParam(Param::Create(name + "_saturation", FF_TYPE_SATURATION, 0.0f));
    // "_brighthness" (sic): the uniform's name as the framework gives it; shaders use it so.
    AddParam(Param::Create(name + "_brighthness", FF_TYPE_BRIGHTNESS, 1.0f));
    AddParam(Param::Create(name + "_alpha", FF_TYPE_ALPHA, 1.0f));
}

void Plugin::AddRGBColorParam(const std::string& name) {
    AddParam(Param::Create(name, FF_TYPE_RED, 0.5f));
    AddParam(Param::Create(name + "_green", FF_TYPE_GREEN, 0.5f));
    AddParam(Param::Create(name + "_blue", FF_TYPE_BLUE, 0.5f));
}

std::shared_ptr<Param> Plugin::GetParam(const std::string& name) const {
    for (const auto& param : params)
        if (param && param->GetName() == name) return param;
    return nullptr;
}

std::shared_ptr<ParamOption> Plugin::GetParamOption(const std::string& name) const {
    return std::dynamic_pointer_cast<ParamOption>(GetParam(name));
}

std::shared_ptr<ParamText> Plugin::GetParamText(const std::string& name) const {
    return std::dynamic_pointer_cast<ParamText>(GetParam(name));
}

void Plugin::Include(const std::set<shader::snippet_id>& ids) {
    for (shader::snippet_id id : ids) Include(id);
}

std::string Plugin::CreateFragmentShader(const std::string& code) const {
    return BuildFragmentSource(fragmentShaderBase, params, includedSnippets, code);
}

bool Plugin::IsRGBColor(int position) const { return position >= 0 && IsRGBColorAt(params, size_t(position)); }
bool Plugin::IsHueColor(int position) const { return position >= 0 && IsHueColorAt(params, size_t(position)); }

// ---- GL lifetime -------------------------------------------------------------------

FFResult Plugin::InitGL(const FFGLViewportStruct* viewport) {
    if (!ffglex::LoadGLEntryPoints()) return FF_FAIL;
    const std::string fragmentSource = CreateFragmentShader(fragmentShaderCode);
    const bool ready = shader.Compile(vertexShaderCode, fragmentSource) && quad.Initialise(false) && Init() != FF_FAIL;
    if (!ready) {
        DeInitGL();
        return FF_FAIL;
    }
    if (viewport) currentViewport = *viewport;
    return FF_SUCCESS;
}

FFResult Plugin::DeInitGL() {
    shader.FreeGLResources();
    quad.Release();
    Clean();
    return FF_SUCCESS;
}

FFResult Plugin::Init() { return FF_SUCCESS; }
void Plugin::Update() {}
void Plugin::Clean() {}

FFResult Plugin::Render(ProcessOpenGLStruct*) {
    ffglex::ScopedShaderBinding bind(shader.GetGLID());
    quad.Draw();
    return FF_SUCCESS;
}

// ---- frames ------------------------------------------------------------------------

FFResult Plugin::ProcessOpenGL(ProcessOpenGLStruct* process) {
    UpdateAudioAndTime();
    ffglex::ScopedShaderBinding bind(shader.GetGLID());
    SendDefaultParams(shader);
    SendParams(shader);
    Update();
    const FFResult result = Render(process);
    consumeAllTrigger();
    return result;
}

void Plugin::UpdateAudioAndTime() {
    ++frame;
    const auto elapsed = std::chrono::steady_clock::now() - startTime;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    time = static_cast<float>(ns) / 1000000.0f / 1000.0f;
    deltaTime = time - lastTime;
    lastTime = time;

    for (auto& [param, audio] : audioParams) {
        const ParamInfo* info = FindParamInfo(param->index);
        if (info) {
            const size_t n = std::min(param->fftData.size(), info->elements.size());
            for (size_t i = 0; i < n; ++i) param->fftData[i] = info->elements[i].value;
        }
        audio.Update(param->fftData);
    }
}

void Plugin::SendDefaultParams(ffglex::FFGLShader& program) {
    program.Set("time", time);
    program.Set("deltaTime", deltaTime);
    program.Set("frame", frame);
    program.Set("resolution", static_cast<float>(currentViewport.width), static_cast<float>(currentViewport.height));
    program.Set("bpm", bpm);
    program.Set("phase", barPhase);
}

void Plugin::SendParams(ffglex::FFGLShader& program) {
    WalkParams(params, [&](ParamItem item, size_t pos) {
        const Param* param = params[pos].get();
        if (!param) return;
        const char* name = param->GetName().c_str();
        if (item == ParamItem::RGBColor) {
            program.Set(name, params[pos]->GetValue(), params[pos + 1]->GetValue(), params[pos + 2]->GetValue());
        } else if (item == ParamItem::HueColor) {
            float r = 0.0f, g = 0.0f, b = 0.0f;
            ffglex::HSVtoRGB(params[pos]->GetValue(), params[pos + 1]->GetValue(), params[pos + 2]->GetValue(), r, g,
                             b);
            program.Set(name, r, g, b, params[pos + 3]->GetValue());
        } else if (param->GetType() == FF_TYPE_BOOLEAN || param->GetType() == FF_TYPE_EVENT) {
            program.Set(name, param->GetValue() != 0.0f ? 1 : 0);
        } else if (param->GetType() != FF_TYPE_BUFFER) {
            program.Set(name, param->GetValue());
        }
    });
}

void Plugin::consumeAllTrigger() {
    for (const auto& param : params)
        if (auto trigger = std::dynamic_pointer_cast<ParamTrigger>(param)) trigger->Consume();
}

// ---- host values -------------------------------------------------------------------

FFResult Plugin::SetFloatParameter(unsigned int index, float value) {
    Param* param = At(index);
    if (!param) return FF_FAIL;
    param->SetValue(value);
    return FF_SUCCESS;
}

float Plugin::GetFloatParameter(unsigned int index) {
    const Param* param = At(index);
    return param ? param->GetValue() : 0.0f;
}

FFResult Plugin::SetTextParameter(unsigned int index, const char* value) {
    auto* text = dynamic_cast<ParamText*>(At(index));
    if (!text) return FF_FAIL;
    text->text = value ? value : "";
    return FF_SUCCESS;
}

char* Plugin::GetTextParameter(unsigned int index) {
    auto* text = dynamic_cast<ParamText*>(At(index));
    return text ? text->text.data() : FailText();
}

char* Plugin::GetParameterDisplay(unsigned int index) {
    const Param* param = At(index);
    if (!param || param->GetType() == FF_TYPE_FILE || param->GetType() == FF_TYPE_TEXT) return FailText();
    // Hosts read the display as a C string: it must end inside the field.
    FormatParameterDisplay(param->GetValue(), displayValueBuffer, sizeof displayValueBuffer);
    return displayValueBuffer;
}

void Plugin::SetSampleRate(unsigned int rate) {
    CFFGLPlugin::SetSampleRate(rate);
    for (auto& entry : audioParams) entry.second.SetSampleRate(static_cast<int>(rate));
}

}  // namespace ffglqs
