#include "cli/platform/win32/windows_error_text.h"

namespace zav::cli {

namespace {

// The errors that files, COM ports and the console meet.
const char* words_for(DWORD error) {
    switch (error) {
        // Files and folders
        case ERROR_FILE_NOT_FOUND: return "nicht vorhanden";
        case ERROR_PATH_NOT_FOUND: return "ein Ordner des Pfades fehlt";
        case ERROR_INVALID_DRIVE: return "das Laufwerk gibt es nicht";
        case ERROR_INVALID_NAME: return "ungültiger Name";
        case ERROR_BAD_PATHNAME: return "ungültiger Pfad";
        case ERROR_DIRECTORY: return "ungültiger Ordnername";
        case ERROR_FILENAME_EXCED_RANGE: return "der Name ist zu lang";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return "existiert bereits";
        case ERROR_DIR_NOT_EMPTY: return "der Ordner ist nicht leer";
        case ERROR_NOT_SAME_DEVICE: return "liegt auf einem anderen Laufwerk";
        case ERROR_FILE_TOO_LARGE: return "die Datei wird zu groß";
        case ERROR_FILE_INVALID: return "die Datei gibt es nicht mehr";
        case ERROR_CANT_RESOLVE_FILENAME: return "der Name lässt sich nicht auflösen (eine Schleife?)";
        case ERROR_USER_MAPPED_FILE: return "die Datei ist von einem anderen Programm geöffnet";
        // Rights and other programs
        case ERROR_ACCESS_DENIED: return "Zugriff verweigert";
        case ERROR_PRIVILEGE_NOT_HELD: return "ein nötiges Recht fehlt";
        case ERROR_SHARING_VIOLATION: return "von einem anderen Programm geöffnet";
        case ERROR_LOCK_VIOLATION: return "von einem anderen Programm gesperrt";
        case ERROR_WRITE_PROTECT: return "der Datenträger ist schreibgeschützt";
        // Room
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return "kein Platz mehr auf dem Datenträger";
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, which older headers lack
            return "das Speicherkontingent ist erschöpft";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return "nicht genug Speicher";
        case ERROR_TOO_MANY_OPEN_FILES: return "zu viele offene Dateien";
        // Network drives
        case ERROR_BAD_NETPATH: return "der Netzwerkpfad wurde nicht gefunden";
        case ERROR_BAD_NET_NAME: return "der Netzwerkname wurde nicht gefunden";
        case ERROR_NETNAME_DELETED: return "der Netzwerkname ist nicht mehr verfügbar";
        case ERROR_NETWORK_ACCESS_DENIED: return "Zugriff auf das Netzwerk verweigert";
        case ERROR_UNEXP_NET_ERR: return "unerwarteter Netzwerkfehler";
        // Devices and lines
        case ERROR_BUSY: return "belegt";
        case ERROR_NOT_READY: return "das Gerät ist nicht bereit";
        case ERROR_DEV_NOT_EXIST: return "das Gerät gibt es nicht mehr";
        case ERROR_DEVICE_REMOVED: return "das Gerät wurde entfernt";
        case ERROR_DEVICE_NOT_CONNECTED: return "das Gerät ist nicht angeschlossen";
        case ERROR_GEN_FAILURE: return "das Gerät funktioniert nicht";
        case ERROR_BAD_COMMAND: return "das Gerät versteht den Befehl nicht";
        case ERROR_IO_DEVICE: return "Ein-/Ausgabefehler am Gerät";
        case ERROR_CRC: return "Datenfehler (CRC)";
        case ERROR_READ_FAULT: return "Lesefehler";
        case ERROR_WRITE_FAULT: return "Schreibfehler";
        case ERROR_SEM_TIMEOUT:
        case ERROR_COUNTER_TIMEOUT: return "Zeitüberschreitung";
        case ERROR_OPERATION_ABORTED: return "abgebrochen";
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA: return "der Empfänger hat die Pipe geschlossen";
        // Calls
        case ERROR_INVALID_FUNCTION: return "vom Gerät nicht unterstützt";
        case ERROR_NOT_SUPPORTED: return "nicht unterstützt";
        case ERROR_CALL_NOT_IMPLEMENTED: return "vom System nicht unterstützt";
        case ERROR_INVALID_PARAMETER: return "ungültiger Parameter";
        case ERROR_INVALID_HANDLE: return "ungültiges Handle";
        case ERROR_NOACCESS: return "ungültige Speicheradresse";
        case ERROR_IO_INCOMPLETE:
        case ERROR_IO_PENDING: return "die Ein-/Ausgabe ist nicht beendet";
        default: return nullptr;
    }
}

}  // namespace

std::string windows_error_text(DWORD error) {
    const char* words = words_for(error);
    return words != nullptr ? std::string(words) : "Systemfehler " + std::to_string(error);
}

}  // namespace zav::cli
