// The download settings record: what the update keeps for the life of the
// program (one instance, in the program-wide state).
#pragma once

#include <cstdint>
#include <string>

#include "platform/downloader.h"

namespace update {

struct DownloadRecord {
    std::string packageUrl;        // update base + "/e/down/tarnel.zip"
    std::string savePath;          // where the package lands; built when the window opens
    std::int64_t totalSize = 0;    // as announced by the server; 0 until then
    std::int64_t startTick = 0;    // tick count when the download started
    platform::DownloadTask task;   // the parameters of the last start
};

}  // namespace update
