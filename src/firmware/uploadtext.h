#pragma once

#include "firmware/tftpupload.h"
#include "firmware/upgradebatch.h"

#include <QString>

namespace farlight {

/// @brief How an upload's end is worded, in the window and on the command line alike: the
/// device's TFTP error by its code; when the device broke the protocol, the error sent back.
QString UploadOutcomeText(TftpUpload::Outcome outcome, int errorCode);
/// @brief A target's end in words: the upload's, then how the wait for its restart ended, then
/// the attempts when there were several. With @p uploadShownElsewhere (a full progress bar says
/// the image went over), a device that was awaited is worded by its restart alone.
QString UpgradeResultText(const UpgradeBatch::Result &result, bool uploadShownElsewhere = false);
/// @brief A failed attempt that is started again.
QString RetryText(TftpUpload::Outcome outcome, int errorCode);
/// @brief A target whose upload has not started yet.
QString QueuedText();
/// @brief A target that took the image and is awaited; with @p elapsedMs, for how long so far.
QString RestartingText(qint64 elapsedMs = -1);
/// @brief How far an attempt has come: the bytes sent of @p total, the rate and the time left
/// ("1.2 MB of 4.0 MB, 350 KB/s, 8 s left"); without a rate until time has passed.
QString TransferText(int percent, qint64 total, qint64 elapsedMs);

} // namespace farlight
