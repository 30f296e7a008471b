// zavctl's exit codes in words (the codes: fleet/base/outcome.h): one table
// for every command, a single one and a series alike. "zavctl --help"
// prints it from here; the guide and docs/JSON.md give the same table, word
// for word (a test holds them to it).
#pragma once

#include "fleet/base/outcome.h"

namespace zav::cli {

struct ExitCodeMeaning {
    int code;
    const char* meaning;
};

// What each code means, as the user reads it. A series ends with the code
// of what it left undone: with a plan every row must be done for 0, and
// Ctrl+C while rows are open is 130; a device that failed and whose row
// another device did later leaves nothing undone, but a device left for
// the user to place makes it 6.
constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kExitOk,
     "Erfolg. Eine Serie: mit Plan jede Zeile erledigt; ohne Plan mit Strg+C zwischen zwei Geräten beendet, "
     "kein Gerät fehlgeschlagen"},
    {kExitUsage, "Aufruf fehlerhaft: Befehl, Option, --setup, kein Port angegeben"},
    {kExitFile,
     "Dateifehler: eine Datei fehlt, ist keine Konfigurationsdatei, hat eine falsche Prüfsumme oder ist schon "
     "vorhanden (ohne --force); die Datei, die Ausgabe, das Protokoll, eine Sicherung oder ihr Ordner lässt sich "
     "nicht schreiben (Datenträger voll, Pipe geschlossen); ein Plan, der kein Plan ist, ein unbekanntes Feld "
     "nennt oder eine Bezeichnung zweimal hat"},
    {kExitLink,
     "kein Gerät oder Verbindung verloren: Port fehlt oder belegt, keine Antwort, Leitung weg; beim Selbsttest: "
     "die Schleife hat einen Fehler"},
    {kExitRefused,
     "Gerät oder Daten abgelehnt: Setup-Block ungültig, Version nicht 2.x/4.x, keine Konfigurationsdaten, ein "
     "Feldfehler (auch in einer Zeile des Plans), Block abgelehnt; eine Serie ohne Plan: mindestens ein Gerät "
     "fehlgeschlagen; beim Selbsttest: statt eines Echos antwortet ein ZAV 160"},
    {kExitDiffers, "Unterschiede gefunden (verify, diff, verify --series)"},
    {kExitAttention,
     "eine Serie mit Plan, jede Zeile erledigt, aber ein Gerät zu klären: Es hält die Konfiguration einer Zeile, "
     "die ein anderes Gerät erledigt hat, und welches der beiden das richtige ist, lässt sich nicht erkennen; es "
     "blieb unverändert"},
    {kExitInterrupted, "mit Strg+C abgebrochen; eine Serie mit Plan auch, wenn bei Strg+C noch Zeilen offen sind"},
};

}  // namespace zav::cli
