#include "host/FFGLPluginManager.h"

#include <algorithm>
#include <cstring>
#include <utility>

CFFGLPluginManager::CFFGLPluginManager(bool supportTopLeftTextureOrientation)
    : topLeftTextureOrientationSupported(supportTopLeftTextureOrientation) {}

CFFGLPluginManager::~CFFGLPluginManager() = default;

// Every registration builds its record complete before appending it, so a
// failed allocation leaves the registry as it was.
CFFGLPluginManager::ParamInfo CFFGLPluginManager::NewRecord(unsigned int index, const char* name, unsigned int type,
                                                            size_t numElements) {
    ParamInfo info;
    info.index = index;
    info.type = type;
    info.elements.resize(numElements);
    if (name) std::memcpy(info.name, name, std::min<size_t>(std::strlen(name), sizeof info.name));
    return info;
}

void CFFGLPluginManager::SetParamInfo(unsigned int index, const char* name, unsigned int type, float defaultValue) {
    ParamInfo info = NewRecord(index, name, type, 1);
    info.defaultValue = type == FF_TYPE_STANDARD ? std::min(1.0f, std::max(0.0f, defaultValue)) : defaultValue;
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetParamInfo(unsigned int index, const char* name, unsigned int type, bool defaultValue) {
    ParamInfo info = NewRecord(index, name, type, 0);
    info.defaultValue = defaultValue ? 1.0f : 0.0f;
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetParamInfo(unsigned int index, const char* name, unsigned int type,
                                      const char* defaultValue) {
    ParamInfo info = NewRecord(index, name, type, 1);
    info.defaultText = defaultValue ? defaultValue : "";
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetBufferParamInfo(unsigned int index, const char* name, unsigned int bufferSize,
                                            unsigned int usage) {
    ParamInfo info = NewRecord(index, name, FF_TYPE_BUFFER, bufferSize);
    info.usage = usage;
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetOptionParamInfo(unsigned int index, const char* name, unsigned int numOptions,
                                            float defaultValue) {
    ParamInfo info = NewRecord(index, name, FF_TYPE_OPTION, numOptions);
    info.defaultValue = defaultValue;
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetFileParamInfo(unsigned int index, const char* name, std::vector<std::string> extensions,
                                          const char* defaultFile) {
    ParamInfo info = NewRecord(index, name, FF_TYPE_FILE, 0);
    info.defaultText = defaultFile ? defaultFile : "";
    info.fileExtensions = std::move(extensions);
    paramInfos.push_back(std::move(info));
}

void CFFGLPluginManager::SetParamElementInfo(unsigned int index, unsigned int elementIndex, const char* name,
                                             float value) {
    ParamInfo* info = FindParamInfo(index);
    if (!info || elementIndex >= info->elements.size()) return;
    info->elements[elementIndex].name = name ? name : "";
    info->elements[elementIndex].value = value;
}

void CFFGLPluginManager::AddElementSeparator(unsigned int index, unsigned int elementIndex) {
    if (ParamInfo* info = FindParamInfo(index)) info->elementSeparators.push_back({elementIndex});
}

void CFFGLPluginManager::SetParamVisibility(unsigned int index, bool visible) {
    if (ParamInfo* info = FindParamInfo(index)) info->visible = visible;
}

void CFFGLPluginManager::SetParamRange(unsigned int index, float min, float max) {
    if (ParamInfo* info = FindParamInfo(index)) info->range = {min, max};
}

void CFFGLPluginManager::SetParamGroup(unsigned int index, std::string group) {
    if (ParamInfo* info = FindParamInfo(index)) info->group = std::move(group);
}

void CFFGLPluginManager::RaiseParamEvent(unsigned int index, uint64_t flags) {
    if (ParamInfo* info = FindParamInfo(index)) info->pendingEvents |= flags;
}

FFResult CFFGLPluginManager::SetParamElementValue(unsigned int index, unsigned int elementIndex, float value) {
    ParamInfo* info = FindParamInfo(index);
    if (!info || elementIndex >= info->elements.size()) return FF_FAIL;
    info->elements[elementIndex].value = value;
    return FF_SUCCESS;
}

CFFGLPluginManager::ParamInfo* CFFGLPluginManager::FindParamInfo(unsigned int index) {
    for (ParamInfo& info : paramInfos)
        if (info.index == index) return &info;
    return nullptr;
}

const CFFGLPluginManager::ParamInfo* CFFGLPluginManager::FindParamInfo(unsigned int index) const {
    for (const ParamInfo& info : paramInfos)
        if (info.index == index) return &info;
    return nullptr;
}

const char* CFFGLPluginManager::GetParamName(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? info->name : nullptr;
}

unsigned int CFFGLPluginManager::GetParamType(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? info->type : FF_FAIL;
}

FFMixed CFFGLPluginManager::GetParamDefault(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info) return ffMixedU32(FF_FAIL);
    if (info->type == FF_TYPE_TEXT || info->type == FF_TYPE_FILE) return ffMixedPtr(info->defaultText.c_str());
    return ffMixedFloat(info->defaultValue);
}

unsigned int CFFGLPluginManager::GetParamUsage(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? info->usage : FF_FAIL;
}

unsigned int CFFGLPluginManager::GetParamVisibility(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info) return FF_FAIL;
    return info->visible ? 1u : 0u;
}

CFFGLPluginManager::RangeStruct CFFGLPluginManager::GetParamRange(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? info->range : RangeStruct{};
}

std::string CFFGLPluginManager::GetParamGroup(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? info->group : std::string();
}

unsigned int CFFGLPluginManager::GetNumParamElements(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? static_cast<unsigned int>(info->elements.size()) : FF_FAIL;
}

const char* CFFGLPluginManager::GetParamElementName(unsigned int index, unsigned int elementIndex) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info || elementIndex >= info->elements.size()) return nullptr;
    return info->elements[elementIndex].name.c_str();
}

FFMixed CFFGLPluginManager::GetParamElementDefault(unsigned int index, unsigned int elementIndex) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info || elementIndex >= info->elements.size()) return ffMixedU32(FF_FAIL);
    return ffMixedFloat(info->elements[elementIndex].value);
}

unsigned int CFFGLPluginManager::GetNumElementSeparators(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? static_cast<unsigned int>(info->elementSeparators.size()) : 0u;
}

unsigned int CFFGLPluginManager::GetElementSeparatorElementIndex(unsigned int index, unsigned int position) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info || position >= info->elementSeparators.size()) return FF_FAIL;
    return info->elementSeparators[position].elementIndex;
}

unsigned int CFFGLPluginManager::GetNumFileParamExtensions(unsigned int index) const {
    const ParamInfo* info = FindParamInfo(index);
    return info ? static_cast<unsigned int>(info->fileExtensions.size()) : 0u;
}

const char* CFFGLPluginManager::GetFileParamExtension(unsigned int index, unsigned int position) const {
    const ParamInfo* info = FindParamInfo(index);
    if (!info || position >= info->fileExtensions.size()) return nullptr;
    return info->fileExtensions[position].c_str();
}

unsigned int CFFGLPluginManager::GetNumPendingParamEvents() const {
    return static_cast<unsigned int>(
        std::count_if(paramInfos.begin(), paramInfos.end(), [](const ParamInfo& p) { return p.pendingEvents != 0; }));
}

unsigned int CFFGLPluginManager::ConsumeParamEvents(ParamEventStruct* events, unsigned int maxEvents) {
    unsigned int count = 0;
    if (!events) return 0;
    for (ParamInfo& info : paramInfos) {
        if (count >= maxEvents) break;
        if (info.pendingEvents == 0) continue;
        events[count].ParameterNumber = info.index;
        events[count].eventFlags = info.pendingEvents;
        info.pendingEvents = 0;
        ++count;
    }
    return count;
}
