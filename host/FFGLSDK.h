// FFGLSDK.h -- everything a plugin's source needs from the plugin frame.
#pragma once

#include "host/FFGLABI.h"
#include "host/FFGL.h"
#include "host/FFGLLog.h"
#include "host/FFGLPlugin.h"
#include "host/FFGLPluginInfo.h"
#include "host/FFGLPluginManager.h"
#include "host/FFGLThumbnail.h"
