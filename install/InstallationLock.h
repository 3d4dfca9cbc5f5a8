#pragma once
#include "platform/FileLock.h"

#include <memory>
#include <string>

/// Takes the lock that keeps two updaters off one installation: the
/// launcher (for its whole run), moravo-tool's update and hoplin each hold
/// it while they may change the files of the installation `dir`, so that no
/// two of them delete each other's temporary files or put each other's
/// half-written files in place. The lock is the file `lockFileName` in
/// `dir`; one try. Null unless `status` is `held`; the lock is released
/// when the answer is destroyed.
std::unique_ptr<platform::FileLock> lockInstallation(const std::string& dir,
                                                     platform::FileLock::Status& status);
