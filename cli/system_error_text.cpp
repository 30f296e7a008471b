#include "cli/system_error_text.h"

#include <cerrno>
#include <cstring>

namespace zav::cli {

std::string system_error_text(int error_number) {
    switch (error_number) {
        case ENOENT: return "nicht vorhanden";
        case ENOTDIR: return "ein Teil des Pfades ist kein Ordner";
        case EACCES:
        case EPERM: return "keine Berechtigung";
        case EISDIR: return "ist ein Ordner";
        case ENOSPC: return "kein Platz mehr auf dem Datenträger";
        case EROFS: return "der Datenträger ist schreibgeschützt";
        case EBUSY: return "belegt";
        case EIO: return "Ein-/Ausgabefehler";
        default: return std::strerror(error_number);
    }
}

}  // namespace zav::cli
