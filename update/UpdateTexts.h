#pragma once
#include "update/UpdaterListener.h"

#include <cstdint>
#include <optional>
#include <string>

/// The player's texts for the updater's stages and errors (UTF-8), shared by
/// the launcher's main window and the operator's console.

/// The status text of stage 1 to 6; null for any other stage (the text shown
/// stays as it was).
const char* stageText(int32_t stage);
inline const char* stageText(UpdateStage stage) {
    return stageText(static_cast<int32_t>(stage));
}

/// The status text of an error code, with `fileText` (the current file's
/// description) appended where the text names a file. No value for 80,
/// which leaves the shown text as it was.
std::optional<std::string> errorText(int32_t code, const std::string& fileText);

/// False for the codes that are not failures to offer a retry for: 80 and
/// 3840 (a cancellation).
bool errorOffersRetry(int32_t code);

/// The status text of a completed update.
constexpr const char* finishedText = "Actualización completada.";

/// Why a second launcher (or update) does not start while another one
/// holds the installation (see InstallationLock.h).
constexpr const char* installationInUseText =
    "El lanzador ya se está ejecutando.\nCiérrelo antes de abrirlo otra vez.";

/// The status text while the installation is hashed: the percentage first.
std::string scanProgressText(int32_t percent);

/// How a file is named in the status line: "..." and the path from its
/// second-to-last '/' on (the whole path when it has fewer than two).
std::string fileDescription(const std::string& path);
