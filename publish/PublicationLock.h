#pragma once
#include "platform/FileLock.h"

#include <memory>
#include <string>

/// The file in an output folder whose lock keeps a second publisher out.
constexpr const char* publicationLockName = ".moravo-publish.lock";
/// The file beside it where the holder says who it is, for the refused.
constexpr const char* publicationHolderName = ".moravo-publish.holder";

/// Takes the lock that keeps two publishers off one output folder, making
/// the folder when it is missing; one try. Held, the holder's process
/// number and start (`nowSeconds`, since 1970, UTC) are written beside it.
/// Null, with the reason in `error`, when another publisher holds it (named
/// as it named itself) or the lock cannot be had. Released when the answer
/// is destroyed, or the process ends.
std::unique_ptr<platform::FileLock> lockPublication(const std::string& outDir, int64_t nowSeconds,
                                                    std::string& error);
