#include "runner/InfoFormat.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"

#include <iostream>

namespace tessivar::cli {

int runInfo(const InfoArgs& a) {
    const JsonOut json(a.json);
    auto module = loadModule(a.module);
    const ModuleInfo info = describe(*module);
    if (json.Wanted())
        json.Write(InfoToJson(info));
    else
        std::cout << InfoToText(info);
    return 0;
}

}  // namespace tessivar::cli
