// ffglrun preview where the build has no web server (no cpp-httplib, as in
// the Windows cross build): the command is there and says so.
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"

namespace tessivar::cli {

int RunPreview(const PreviewArgs&) {
    throw Failure("preview: this ffglrun was built without the web preview (it needs cpp-httplib)");
}

}  // namespace tessivar::cli
