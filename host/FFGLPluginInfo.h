// FFGLPluginInfo.h -- who the plugin is, in the layout the host reads.
//
// A module holds exactly one static CFFGLPluginInfo, in the source file of its
// plugin class:
//
//     static CFFGLPluginInfo PluginInfo(PluginFactory<MyPlugin>, "MYPL", "My Plugin",
//                                       2, 1,   // FFGL API version
//                                       1, 0,   // plugin version
//                                       FF_EFFECT, "What it does", "Who made it");
//
// Its constructor registers it in g_CurrPluginInfo; the entry point answers
// FF_GET_INFO / FF_GET_EXTENDED_INFO from it and makes plugin objects (the
// prototype and every instance) with its factory. The extended record points
// into the object itself, so it must stay where it was built: never copy it.
#pragma once

#include <string>
#include <vector>

#include "host/FFGLABI.h"

class CFFGLPlugin;

// Makes one new plugin object and stores its address in *instance.
typedef FFResult (*FPCREATEINSTANCEGL)(CFFGLPlugin** instance);

// The factory for a plugin class with a default constructor. It always answers
// FF_SUCCESS; an exception from the constructor (allocation failure included)
// propagates after the storage has been released. The entry point catches it.
template <typename PluginT>
FFResult PluginFactory(CFFGLPlugin** instance) {
    *instance = new PluginT();
    return FF_SUCCESS;
}

class CFFGLPluginInfo {
public:
    // uniqueID: up to 4 characters are used; name: up to 16 (no terminator
    // when it fills the field). dwAPIMajorVersion must be at least 2.
    // description and about are copied. A non-empty extended data block is
    // copied too, so the caller's bytes need not outlive the record.
    CFFGLPluginInfo(FPCREATEINSTANCEGL createInstance, const char* uniqueID, const char* name,
                    unsigned int dwAPIMajorVersion, unsigned int dwAPIMinorVersion, unsigned int pluginMajorVersion,
                    unsigned int pluginMinorVersion, unsigned int pluginType, const char* description,
                    const char* about, unsigned int extendedDataSize = 0, const void* extendedDataBlock = nullptr);
    ~CFFGLPluginInfo();
    CFFGLPluginInfo(const CFFGLPluginInfo&) = delete;
    CFFGLPluginInfo& operator=(const CFFGLPluginInfo&) = delete;

    // The record's start: the host reads 32 bytes here.
    const PluginInfoStruct* GetPluginInfo() const { return &pluginInfo; }
    // 32 bytes after the start: the host reads 40 bytes here.
    const PluginExtendedInfoStruct* GetPluginExtendedInfo() const { return &extendedInfo; }
    FPCREATEINSTANCEGL GetFactoryMethod() const { return createInstance; }

private:
    // The two host records come first and in this order.
    PluginInfoStruct pluginInfo;
    PluginExtendedInfoStruct extendedInfo;
    std::string about;
    std::string description;
    FPCREATEINSTANCEGL createInstance;
    std::vector<unsigned char> extendedData;
};

// The most recently constructed record; null while the module has none.
extern CFFGLPluginInfo* g_CurrPluginInfo;
