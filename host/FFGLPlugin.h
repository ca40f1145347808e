// FFGLPlugin.h -- the base class of every plugin object.
//
// The host makes instances with FF_INSTANTIATE_GL; the module also makes one
// prototype object that answers global queries and never sees GL. Both are
// made by the factory of the registered CFFGLPluginInfo, so a plugin's
// constructor and destructor must not need GL: GL resources are made in
// InitGL and released in DeInitGL.
//
// A concrete plugin overrides what it needs; every operation has a default.
// Each one-line contract below says what the default does. All calls come on
// the host's thread; InitGL, ProcessOpenGL, DeInitGL and Resize run with the
// host's GL context current.
//
// Texts returned to the host (GetParameterDisplay, GetTextParameter,
// GetShortName) are borrowed: valid until the host's next call into the module.
#pragma once

#include <string>

#include "host/FFGLABI.h"
#include "host/FFGLPluginManager.h"

class CFFGLPlugin : public CFFGLPluginManager {
public:
    // supportTopLeftTextureOrientation: the plugin can work with textures whose
    // origin is the top-left corner (the host may then enable them).
    explicit CFFGLPlugin(bool supportTopLeftTextureOrientation);
    ~CFFGLPlugin() override;

    // Make GL resources for the host viewport. Default: keeps the viewport; FF_SUCCESS.
    virtual FFResult InitGL(const FFGLViewportStruct* viewport);
    // Release every GL resource made in InitGL. Default: FF_SUCCESS.
    virtual FFResult DeInitGL();
    // Text shown by the host for a parameter's value: text and file parameters
    // show GetTextParameter, all others the number GetFloatParameter answers,
    // formatted "%f" into the module-wide 16-byte buffer s_DisplayValue (cut so
    // it always ends with a zero inside it). Null for an unregistered index.
    virtual char* GetParameterDisplay(unsigned int index);
    // Default: FF_FAIL (no parameter accepted).
    virtual FFResult SetFloatParameter(unsigned int index, float value);
    // Default: FF_FAIL.
    virtual FFResult SetTextParameter(unsigned int index, const char* value);
    // Default: 0.0.
    virtual float GetFloatParameter(unsigned int index);
    // Default: no text, given as the value FF_FAIL in place of a pointer, which
    // the host receives as FF_FAIL.
    virtual char* GetTextParameter(unsigned int index);
    // Draw one frame into the framebuffer the host has bound. Default: FF_FAIL.
    virtual FFResult ProcessOpenGL(ProcessOpenGLStruct* process);
    // Default: keeps the time; FF_SUCCESS.
    virtual FFResult SetTime(double time);
    // Default: keeps beats per minute and bar phase.
    virtual void SetBeatInfo(float beatsPerMinute, float phase);
    // Default: copies both texts; a null text is kept as the empty text.
    virtual void SetHostInfo(const char* name, const char* version);
    // Default: keeps the rate.
    virtual void SetSampleRate(unsigned int rate);
    // Default: 1 (in use) for an input below GetMaxInputs(), else FF_FAIL.
    virtual unsigned int GetInputStatus(unsigned int input);
    // Default: null (no short name).
    virtual char* GetShortName();
    // Default: FF_SUCCESS.
    virtual FFResult Connect();
    // Default: FF_SUCCESS.
    virtual FFResult Disconnect();
    // Default: keeps the viewport; FF_SUCCESS.
    virtual FFResult Resize(const FFGLViewportStruct* viewport);

    // The shared display buffer: a second display request, for any object,
    // overwrites the first.
    static char s_DisplayValue[16];

protected:
    bool connected = false;  // kept by the entry point
    CFFGLPlugin* plugin;     // whose values GetParameterDisplay shows; this object
    FFGLViewportStruct currentViewport = {0, 0, 0, 0};
    float bpm = 120.0f;
    float barPhase = 0.0f;
    std::string hostName;
    std::string hostVersion;
    double hostTime = 0.0;
    unsigned int sampleRate = 0;

private:
    friend struct CFFGLPluginEntryAccess;  // the entry point's view of connected / plugin
};

// Formats a parameter value as the default display does ("%f"), cut to fit a
// buffer of `size` bytes including the terminating zero. When the integral
// part alone does not fit, the value is written in exponent notation instead
// of being cut into a different number.
void FormatParameterDisplay(float value, char* buffer, size_t size);
