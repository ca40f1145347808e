// FFGLPluginManager.h -- the parameter registry every plugin object carries.
//
// A plugin's constructor describes its parameters here (SetParamInfo and
// friends); the entry point answers the host's parameter queries from it. The
// registry holds descriptions only: current values belong to the plugin. The
// one exception is the per-element value of a parameter's elements, which the
// host may overwrite (SetParamElementValue).
//
// Records are kept in registration order and looked up by a linear scan that
// takes the FIRST record with the asked index; a second registration of the
// same index is stored and counted but never reached by a lookup.
//
// Pointers handed out (names, texts) point into the registry and stay valid
// until the next registration call. Host thread only; no locks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/FFGLABI.h"

class CFFGLPluginManager {
public:
    struct ParamInfo {
        struct Element {
            std::string name;
            float value = 0.0f;
        };
        struct ElementSeparator {
            unsigned int elementIndex = 0;
        };
        struct Range {
            float min = 0.0f;
            float max = 1.0f;
        };

        unsigned int index = 0;
        char name[16] = {};  // no terminator when the name has 16 or more characters
        unsigned int type = 0;
        std::vector<Element> elements;
        std::vector<ElementSeparator> elementSeparators;
        unsigned int usage = FF_USAGE_STANDARD;
        bool visible = true;
        Range range;
        float defaultValue = 0.0f;
        std::string defaultText;
        std::vector<std::string> fileExtensions;
        uint64_t pendingEvents = 0;
        std::string group;
    };
    using RangeStruct = ParamInfo::Range;

    explicit CFFGLPluginManager(bool supportTopLeftTextureOrientation);
    virtual ~CFFGLPluginManager();

    // ---- plugin-wide capabilities ----------------------------------------
    void SetMinInputs(unsigned int count) { minInputs = count; }
    void SetMaxInputs(unsigned int count) { maxInputs = count; }
    unsigned int GetMinInputs() const { return minInputs; }
    unsigned int GetMaxInputs() const { return maxInputs; }
    void SetTimeSupported(bool supported) { timeSupported = supported; }
    bool IsTimeSupported() const { return timeSupported; }
    bool IsTopLeftTextureOrientationSupported() const { return topLeftTextureOrientationSupported; }
    // Called when the host switches top-left textures on; there is no way back.
    void HostEnabledTopLeftTextures() { textureOrientation = 1; }
    unsigned int GetTextureOrientation() const { return textureOrientation; }

    // ---- registration: each call appends one record ----------------------
    // Float default; a FF_TYPE_STANDARD default is clamped into 0..1. One element.
    void SetParamInfo(unsigned int index, const char* name, unsigned int type, float defaultValue);
    // Default stored as 1.0 / 0.0. No elements.
    void SetParamInfo(unsigned int index, const char* name, unsigned int type, bool defaultValue);
    // Text default (FF_TYPE_TEXT, FF_TYPE_FILE); null is taken as "". One element.
    void SetParamInfo(unsigned int index, const char* name, unsigned int type, const char* defaultValue);
    // FF_TYPE_BUFFER with bufferSize elements and the given FF_USAGE_* code.
    void SetBufferParamInfo(unsigned int index, const char* name, unsigned int bufferSize, unsigned int usage);
    // FF_TYPE_OPTION with numOptions elements; the default is not clamped.
    void SetOptionParamInfo(unsigned int index, const char* name, unsigned int numOptions, float defaultValue);
    // FF_TYPE_FILE with the accepted extensions (taken over) and a default file.
    void SetFileParamInfo(unsigned int index, const char* name, std::vector<std::string> extensions,
                          const char* defaultFile);

    // ---- amendments: an unregistered index changes nothing --------------
    void SetParamElementInfo(unsigned int index, unsigned int elementIndex, const char* name, float value);
    void AddElementSeparator(unsigned int index, unsigned int elementIndex);
    void SetParamVisibility(unsigned int index, bool visible);
    void SetParamRange(unsigned int index, float min, float max);  // the default is left alone
    void SetParamGroup(unsigned int index, std::string group);
    void RaiseParamEvent(unsigned int index, uint64_t flags);  // ORs into the pending set
    FFResult SetParamElementValue(unsigned int index, unsigned int elementIndex, float value);

    // ---- queries (answers for an unregistered index in brackets) ---------
    unsigned int GetNumParams() const { return static_cast<unsigned int>(paramInfos.size()); }
    ParamInfo* FindParamInfo(unsigned int index);                // [null]
    const ParamInfo* FindParamInfo(unsigned int index) const;    // [null]
    const char* GetParamName(unsigned int index) const;          // 16 chars [null]
    unsigned int GetParamType(unsigned int index) const;         // [FF_FAIL]
    FFMixed GetParamDefault(unsigned int index) const;           // text pointer or float bits [FF_FAIL]
    unsigned int GetParamUsage(unsigned int index) const;        // [FF_FAIL]
    unsigned int GetParamVisibility(unsigned int index) const;   // 1 / 0 [FF_FAIL]
    RangeStruct GetParamRange(unsigned int index) const;         // [0..1]
    std::string GetParamGroup(unsigned int index) const;         // [""]
    unsigned int GetNumParamElements(unsigned int index) const;  // [FF_FAIL]
    const char* GetParamElementName(unsigned int index, unsigned int elementIndex) const;           // [null]
    FFMixed GetParamElementDefault(unsigned int index, unsigned int elementIndex) const;            // [FF_FAIL]
    unsigned int GetNumElementSeparators(unsigned int index) const;                                 // [0]
    unsigned int GetElementSeparatorElementIndex(unsigned int index, unsigned int position) const;  // [FF_FAIL]
    unsigned int GetNumFileParamExtensions(unsigned int index) const;                               // [0]
    const char* GetFileParamExtension(unsigned int index, unsigned int position) const;             // [null]

    // ---- parameter events ----------------------------------------------
    // Number of parameters with at least one pending flag.
    unsigned int GetNumPendingParamEvents() const;
    // Delivers up to maxEvents pending records in registration order, clearing
    // each one delivered; the rest stay pending. Returns how many were written.
    unsigned int ConsumeParamEvents(ParamEventStruct* events, unsigned int maxEvents);

protected:
    std::vector<ParamInfo> paramInfos;
    unsigned int minInputs = 0;
    unsigned int maxInputs = 0;
    bool timeSupported = true;
    bool topLeftTextureOrientationSupported;
    unsigned int textureOrientation = 0;

private:
    static ParamInfo NewRecord(unsigned int index, const char* name, unsigned int type, size_t numElements);
};
