// What the user is told about the link and a transaction's end, in the
// words of the windowed program; the command-line tool says the same.
#pragma once

namespace zav {

constexpr const char kPortOpenFailed[] = "Port %s konnte nicht geöffnet werden !";
constexpr const char kConnectionLost[] = "Verbindung unterbrochen !";
constexpr const char kProgrammingDone[] = "Programmierung erfolgreich !";

}  // namespace zav
