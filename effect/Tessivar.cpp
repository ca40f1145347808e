// The Tessivar module's one plugin record. Constructed among the module's
// static initialisers, it registers CornerPin as the plugin the host sees.
#include "effect/CornerPin.h"

namespace {

CFFGLPluginInfo PluginInfo(PluginFactory<CornerPin>,  // factory
                           "TSVR",                    // unique identifier
                           "Tessivar",                // name
                           2, 1,                      // FFGL API version
                           1, 6,                      // plugin version
                           FF_EFFECT,                 // type
                           "Four-corner perspective warper with numbered colour guides", "Tessivar for Brindlex", 0,
                           nullptr);  // no extended data

}  // namespace
