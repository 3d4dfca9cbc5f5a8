#include "app/HandOff.h"

#include "platform/Directory.h"
#include "platform/ProgramPath.h"

namespace app {

namespace {

std::string reasonText(const platform::StartFailure& failure) {
    switch (failure.problem) {
    case platform::StartProblem::missing:
        return "el archivo no está en la carpeta del juego (puede que un antivirus lo haya puesto en "
               "cuarentena)";
    case platform::StartProblem::notAProgram:
        return "el archivo está dañado o no es un programa para este sistema";
    case platform::StartProblem::accessDenied:
        return "el sistema ha denegado el acceso al archivo";
    case platform::StartProblem::blockedByPolicy:
        return "una directiva de seguridad del sistema no permite iniciarlo";
    case platform::StartProblem::blockedByAntivirus:
        return "el antivirus lo ha bloqueado";
    case platform::StartProblem::needsElevation:
        return "necesita permisos de administrador";
    case platform::StartProblem::other:
        break;
    }
    return "error del sistema " + std::to_string(failure.code);
}

} // namespace

std::string completerName() {
    return std::string("hoplin") + platform::executableSuffix();
}

std::string completerPath() {
    const std::string folder = platform::currentDirectory();
    return folder.empty() ? completerName() : folder + platform::kPathSeparator + completerName();
}

std::string handOffFailureText(const platform::StartFailure& failure) {
    return "No se pudo iniciar " + completerName() +
           ", el programa que completa la actualización del juego:\n" + reasonText(failure) +
           ".\n\nLos archivos nuevos quedan guardados en la carpeta tmp.\n"
           "Vuelva a abrir el juego para jugar con la versión actual;\n"
           "la actualización se completará cuando " +
           completerName() + " se pueda iniciar.";
}

std::string updateRevertedText() {
    return "La actualizaci\xC3\xB3n del lanzador no pudo iniciarse y se deshizo.";
}

} // namespace app
