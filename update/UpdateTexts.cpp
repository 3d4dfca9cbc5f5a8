#include "update/UpdateTexts.h"

const char* stageText(int32_t stage) {
    switch (stage) {
    case 1:
        return "Obteniendo la lista de archivos...";
    case 2:
        return "Escaneando los archivos...";
    case 3:
        return "Recogiendo datos de la instalación...";
    case 4:
        return "Comprobando la version de la instalación...";
    case 5:
        return "Recogiendo datos de la ultima versión publicada...";
    case 6:
        return "Iniciando el proceso de actualización...";
    default:
        return nullptr;
    }
}

std::optional<std::string> errorText(int32_t code, const std::string& fileText) {
    switch (code) {
    case 0x10:
        return std::string("Error No Encontrado");
    case 0x20:
        return "Error leyendo " + fileText;
    case 0x30:
        return "Error escribiendo " + fileText;
    case 0x31:
        return std::string("Error borrando.");
    case 0x40:
        return std::string("Error al comprobar el directorio.");
    case 0x50:
        return std::nullopt;
    case 0xE0:
        return "Error al descargar archivo " + fileText;
    case 0xF0:
        return std::string("Error leyendo informacion de actualización.");
    case 0x100:
        return std::string("Error indefinido.");
    case 0x200:
        return std::string("Error fatal de comunicaciones. Inténtelo en otro momento.");
    case 0xF00:
        return std::string("Cancelando la actualización...");
    case 0x1000:
        return std::string("Error de conexión. Inténtelo más tarde.");
    default:
        break;
    }
    if (code & 0x400)
        return "Error comprimiendo " + fileText;
    if (code & 0x800)
        return "Error descomprimiendo " + fileText;
    return "Error de procedimiento: " + std::to_string(code);
}

bool errorOffersRetry(int32_t code) {
    return code != 0x50 && code != 0xF00;
}

std::string scanProgressText(int32_t percent) {
    return std::to_string(percent) + "% - Comprobando instalación.";
}

std::string fileDescription(const std::string& path) {
    size_t last = path.rfind('/');
    if (last == std::string::npos || last == 0)
        return "..." + path;
    size_t before = path.rfind('/', last - 1);
    if (before == std::string::npos)
        return "..." + path;
    return "..." + path.substr(before);
}
