#include "cli/platform/system_error_text.h"

#include <cerrno>

namespace zav::cli {

namespace {

// Each platform defines the errors it has; some are one number under two
// names on one system and two numbers on another, hence the guards.
const char* words_for(int error_number) {
    switch (error_number) {
        // Files and folders
        case ENOENT: return "nicht vorhanden";
        case ENOTDIR: return "ein Teil des Pfades ist kein Ordner";
        case EISDIR: return "ist ein Ordner";
        case EEXIST: return "existiert bereits";
        case ENOTEMPTY: return "der Ordner ist nicht leer";
        case ENAMETOOLONG: return "der Name ist zu lang";
        case EXDEV: return "liegt auf einem anderen Dateisystem";
        case EMLINK: return "zu viele Verknüpfungen";
        case EFBIG: return "die Datei wird zu groß";
        case ESPIPE: return "lässt sich nicht positionieren";
#ifdef ELOOP
        case ELOOP: return "zu viele symbolische Verknüpfungen (eine Schleife?)";
#endif
#ifdef EOVERFLOW
        case EOVERFLOW: return "die Datei ist zu groß";
#endif
#ifdef ETXTBSY
        case ETXTBSY: return "die Datei wird gerade ausgeführt";
#endif
#ifdef ESTALE
        case ESTALE: return "die Datei auf dem Netzlaufwerk gibt es nicht mehr";
#endif
        // Rights
        case EACCES: return "keine Berechtigung";
        case EPERM: return "nicht erlaubt";
        case EROFS: return "der Datenträger ist schreibgeschützt";
        // Room
        case ENOSPC: return "kein Platz mehr auf dem Datenträger";
#ifdef EDQUOT
        case EDQUOT: return "das Speicherkontingent ist erschöpft";
#endif
        case ENOMEM: return "nicht genug Speicher";
#ifdef ENOBUFS
        case ENOBUFS: return "nicht genug Pufferspeicher";
#endif
        case EMFILE: return "zu viele offene Dateien";
        case ENFILE: return "zu viele offene Dateien im System";
        // Devices and lines
        case EBUSY: return "belegt";
        case EAGAIN: return "gerade nicht verfügbar";
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK: return "gerade nicht verfügbar";
#endif
        case ENODEV: return "das Gerät gibt es nicht";
        case ENXIO: return "das Gerät gibt es nicht (mehr)";
        case EIO: return "Ein-/Ausgabefehler";
        case ENOTTY: return "kein Terminalgerät";
        case EPIPE: return "der Empfänger hat die Pipe geschlossen";
#ifdef ENOMEDIUM
        case ENOMEDIUM: return "kein Datenträger eingelegt";
#endif
#ifdef ETIMEDOUT
        case ETIMEDOUT: return "Zeitüberschreitung";
#endif
        // Calls
        case EINTR: return "durch ein Signal unterbrochen";
        case EINVAL: return "ungültiges Argument";
        case EBADF: return "ungültiger Dateideskriptor";
        case EFAULT: return "ungültige Speicheradresse";
        case ENOSYS: return "vom System nicht unterstützt";
#ifdef ENOTSUP
        case ENOTSUP: return "nicht unterstützt";
#endif
#if defined(EOPNOTSUPP) && (!defined(ENOTSUP) || EOPNOTSUPP != ENOTSUP)
        case EOPNOTSUPP: return "nicht unterstützt";
#endif
        case ENOLCK: return "keine Sperre verfügbar";
        case EDEADLK: return "Verklemmung beim Sperren";
#ifdef ECANCELED
        case ECANCELED: return "abgebrochen";
#endif
        case EILSEQ: return "ungültige Zeichenfolge";
        case ERANGE: return "Wert außerhalb des Bereichs";
        case E2BIG: return "zu viele Argumente";
        default: return nullptr;
    }
}

}  // namespace

std::string system_error_text(int error_number) {
    const char* words = words_for(error_number);
    return words != nullptr ? std::string(words) : "Systemfehler " + std::to_string(error_number);
}

}  // namespace zav::cli
