#include "host/FFGLPluginInfo.h"

#include <cassert>
#include <cstring>

CFFGLPluginInfo* g_CurrPluginInfo = nullptr;

namespace {
// Copies byte by byte up to and including a zero, at most `size` bytes; a text
// that fills the field keeps no terminator.
void CopyField(char* field, size_t size, const char* text) {
    if (!text) return;
    for (size_t i = 0; i < size; ++i) {
        field[i] = text[i];
        if (text[i] == '\0') break;
    }
}
}  // namespace

CFFGLPluginInfo::CFFGLPluginInfo(FPCREATEINSTANCEGL createInstanceFn, const char* uniqueID, const char* name,
                                 unsigned int dwAPIMajorVersion, unsigned int dwAPIMinorVersion,
                                 unsigned int pluginMajorVersion, unsigned int pluginMinorVersion,
                                 unsigned int pluginType, const char* descriptionText, const char* aboutText,
                                 unsigned int extendedDataSize, const void* extendedDataBlock)
    : pluginInfo(),
      extendedInfo(),
      about(aboutText ? aboutText : ""),
      description(descriptionText ? descriptionText : ""),
      createInstance(createInstanceFn) {
    assert(dwAPIMajorVersion >= 2);
    pluginInfo.APIMajorVersion = dwAPIMajorVersion;
    pluginInfo.APIMinorVersion = dwAPIMinorVersion;
    CopyField(pluginInfo.PluginName, sizeof pluginInfo.PluginName, name);
    CopyField(pluginInfo.PluginUniqueID, sizeof pluginInfo.PluginUniqueID, uniqueID);
    pluginInfo.PluginType = pluginType;

    extendedInfo.Description = description.c_str();
    extendedInfo.About = about.c_str();
    extendedInfo.PluginMajorVersion = pluginMajorVersion;
    extendedInfo.PluginMinorVersion = pluginMinorVersion;
    if (extendedDataSize != 0 && extendedDataBlock != nullptr) {
        const auto* bytes = static_cast<const unsigned char*>(extendedDataBlock);
        extendedData.assign(bytes, bytes + extendedDataSize);
        extendedInfo.FreeFrameExtendedDataSize = extendedDataSize;
        extendedInfo.FreeFrameExtendedDataBlock = extendedData.data();
    } else {
        extendedInfo.FreeFrameExtendedDataSize = 0;
        extendedInfo.FreeFrameExtendedDataBlock = nullptr;
    }
    g_CurrPluginInfo = this;
}

CFFGLPluginInfo::~CFFGLPluginInfo() {
    // A record that goes away must not stay registered.
    if (g_CurrPluginInfo == this) g_CurrPluginInfo = nullptr;
}
