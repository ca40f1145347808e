#include "host/FFGLPlugin.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

char CFFGLPlugin::s_DisplayValue[16];

CFFGLPlugin::CFFGLPlugin(bool supportTopLeftTextureOrientation)
    : CFFGLPluginManager(supportTopLeftTextureOrientation), plugin(this) {}

CFFGLPlugin::~CFFGLPlugin() = default;

FFResult CFFGLPlugin::InitGL(const FFGLViewportStruct* viewport) {
    if (viewport) currentViewport = *viewport;
    return FF_SUCCESS;
}

FFResult CFFGLPlugin::DeInitGL() { return FF_SUCCESS; }

void FormatParameterDisplay(float value, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    std::memset(buffer, 0, size);
    char text[64];
    // Fixed notation of the largest float is 46 characters, so this never cuts.
    const int length = std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    if (length <= 0) return;
    const size_t room = size - 1;
    if (static_cast<size_t>(length) > room) {
        const char* dot = std::strchr(text, '.');
        const size_t integral = dot ? static_cast<size_t>(dot - text) : static_cast<size_t>(length);
        if (integral > room) {
            // Cutting here would show a number of another magnitude.
            std::snprintf(text, sizeof text, "%.*e", room >= 13 ? 6 : 0, static_cast<double>(value));
        } else {
            // Drop fraction digits; a dot with nothing after it goes too.
            text[room] = '\0';
            if (text[room - 1] == '.') text[room - 1] = '\0';
        }
    }
    std::memcpy(buffer, text, std::min(std::strlen(text), room));
}

char* CFFGLPlugin::GetParameterDisplay(unsigned int index) {
    CFFGLPlugin* target = plugin ? plugin : this;
    const ParamInfo* info = target->FindParamInfo(index);
    if (!info || info->type == FF_FAIL) return nullptr;
    if (info->type == FF_TYPE_TEXT || info->type == FF_TYPE_FILE) return target->GetTextParameter(index);
    FormatParameterDisplay(target->GetFloatParameter(index), s_DisplayValue, sizeof s_DisplayValue);
    return s_DisplayValue;
}

FFResult CFFGLPlugin::SetFloatParameter(unsigned int, float) { return FF_FAIL; }

FFResult CFFGLPlugin::SetTextParameter(unsigned int, const char*) { return FF_FAIL; }

float CFFGLPlugin::GetFloatParameter(unsigned int) { return 0.0f; }

char* CFFGLPlugin::GetTextParameter(unsigned int) {
    // Hosts read this answer as FF_FAIL, not as a text.
    return reinterpret_cast<char*>(static_cast<uintptr_t>(FF_FAIL));
}

FFResult CFFGLPlugin::ProcessOpenGL(ProcessOpenGLStruct*) { return FF_FAIL; }

FFResult CFFGLPlugin::SetTime(double time) {
    hostTime = time;
    return FF_SUCCESS;
}

void CFFGLPlugin::SetBeatInfo(float beatsPerMinute, float phase) {
    bpm = beatsPerMinute;
    barPhase = phase;
}

void CFFGLPlugin::SetHostInfo(const char* name, const char* version) {
    // Copy both first so a failed allocation leaves the old pair intact.
    std::string newName = name ? name : "";
    std::string newVersion = version ? version : "";
    hostName.swap(newName);
    hostVersion.swap(newVersion);
}

void CFFGLPlugin::SetSampleRate(unsigned int rate) { sampleRate = rate; }

unsigned int CFFGLPlugin::GetInputStatus(unsigned int input) { return input < maxInputs ? 1u : FF_FAIL; }

char* CFFGLPlugin::GetShortName() { return nullptr; }

FFResult CFFGLPlugin::Connect() { return FF_SUCCESS; }

FFResult CFFGLPlugin::Disconnect() { return FF_SUCCESS; }

FFResult CFFGLPlugin::Resize(const FFGLViewportStruct* viewport) {
    if (viewport) currentViewport = *viewport;
    return FF_SUCCESS;
}
