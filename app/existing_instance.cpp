#include "app/existing_instance.h"
#include "platform/restore_channel.h"

namespace zevra {

bool activateExistingZevraApplication(const std::vector<std::string>& documentPaths) {
    return postRestoreRequest(restoreChannelPath(), RestoreRequest{documentPaths});
}

} // namespace zevra
