// Plans as spreadsheets save them. This file is compiled to Windows-1252
// like the program, so a plan's UTF-8 bytes are written as escapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet/plan/plan_reader.h"

namespace zav {
namespace {

// The same plan in each dialect: two devices, the second with a label
// that holds a separator, quotes, a line break and an umlaut, and an empty
// cell (its template value stays).
struct Dialect {
    const char* name;
    std::string bytes;
    CsvEncoding encoding;
    char separator;
    size_t second_device_row;
};

TEST(PlanReader, EverySpreadsheetDialectGivesTheSameRows) {
    const std::vector<Dialect> dialects = {
        {"UTF-8, ';', LF",
         "bezeichnung;adressen.nummern.1;zusatzrelais.1.ein_zeit\n"
         "LF 20 Fahrer;01401;10\n"
         "\"M\xC3\xBCller; \"\"HLF\"\"\nMaschinist\";21402;\n",
         CsvEncoding::kUtf8, ';', 3},
        {"Excel CSV UTF-8: BOM, CR LF",
         "\xEF\xBB\xBF"
         "bezeichnung;adressen.nummern.1;zusatzrelais.1.ein_zeit\r\n"
         "LF 20 Fahrer;01401;10\r\n"
         "\"M\xC3\xBCller; \"\"HLF\"\"\nMaschinist\";21402;\r\n",
         CsvEncoding::kUtf8WithBom, ';', 3},
        {"Excel CSV: Windows-1252, CR LF",
         "Bezeichnung;adressen.nummern.1;zusatzrelais.1.ein_zeit\r\n"
         "LF 20 Fahrer;01401;10\r\n"
         "\"M\xFCller; \"\"HLF\"\"\nMaschinist\";21402;\r\n",
         CsvEncoding::kWindows1252, ';', 3},
        {"',' as an English spreadsheet writes it",
         "bezeichnung,adressen.nummern.1,zusatzrelais.1.ein_zeit\n"
         "LF 20 Fahrer,01401,10\n"
         "\"M\xC3\xBCller; \"\"HLF\"\"\nMaschinist\",21402\n",
         CsvEncoding::kUtf8, ',', 3},
        {"CR line ends, blanks around cells, blank rows, trailing empty lines, no last line end",
         "\"bezeichnung\" ; adressen.nummern.1 ;zusatzrelais.1.ein_zeit\r"
         " LF 20 Fahrer ;01401;\t10\r"
         ";;\r"
         " \"M\xC3\xBCller; \"\"HLF\"\"\nMaschinist\" ;21402;;\r"
         "\r\r;;",
         CsvEncoding::kUtf8, ';', 4},
    };
    for (const Dialect& dialect : dialects) {
        SCOPED_TRACE(dialect.name);
        const PlanReading reading = parse_plan(dialect.bytes);
        ASSERT_TRUE(reading.ok) << csv_error_text(reading.error);
        const Plan& plan = reading.plan;
        EXPECT_EQ(dialect.encoding, plan.encoding);
        EXPECT_EQ(dialect.separator, plan.separator);
        EXPECT_EQ((std::vector<std::string>{"adressen.nummern.1", "zusatzrelais.1.ein_zeit"}), plan.keys);
        ASSERT_EQ(2u, plan.rows.size());

        const PlanRow& first = plan.rows[0];
        EXPECT_EQ(1u, first.device);
        EXPECT_EQ(2u, first.row);
        EXPECT_EQ("LF 20 Fahrer", first.label_utf8);
        ASSERT_EQ(2u, first.values.size());
        EXPECT_EQ("adressen.nummern.1", first.values[0].key);
        EXPECT_EQ(2u, first.values[0].column);
        EXPECT_EQ("01401", first.values[0].utf8);
        EXPECT_EQ("zusatzrelais.1.ein_zeit", first.values[1].key);
        EXPECT_EQ(3u, first.values[1].column);
        EXPECT_EQ("10", first.values[1].cp1252);

        const PlanRow& second = plan.rows[1];
        EXPECT_EQ(2u, second.device);
        EXPECT_EQ(dialect.second_device_row, second.row);
        EXPECT_EQ("M\xC3\xBCller; \"HLF\"\nMaschinist", second.label_utf8);
        EXPECT_EQ("M\xFCller; \"HLF\"\nMaschinist", second.label_cp1252);
        ASSERT_EQ(1u, second.values.size());
        EXPECT_EQ("21402", second.values[0].utf8);
    }
}

// What a brigade keeps beside the fields stays in the spreadsheet, in any
// case, and goes with the row, not into the record; an empty first line, as
// some spreadsheets save, is passed over before the separator is looked for.
TEST(PlanReader, KeepsInventoryNumberAndRemarkAndPassesOverAnEmptyFirstLine) {
    const PlanReading reading = parse_plan("\r\n ;\r\nbezeichnung;Inventarnummer;adressen.nummern.1;BEMERKUNG\r\n"
                                           "LF 20 Fahrer;00815;21401;Fach 3\r\nHLF 20;;21402;\r\n");
    ASSERT_TRUE(reading.ok) << csv_error_text(reading.error);
    EXPECT_EQ(';', reading.plan.separator);
    ASSERT_EQ(2u, reading.plan.rows.size());
    const PlanRow& first = reading.plan.rows[0];
    EXPECT_EQ(4u, first.row);
    EXPECT_EQ("00815", first.inventory_number);
    EXPECT_EQ("Fach 3", first.remark);
    ASSERT_EQ(1u, first.values.size());
    EXPECT_EQ("adressen.nummern.1", first.values[0].key);
    EXPECT_EQ(3u, first.values[0].column);
    EXPECT_EQ("", reading.plan.rows[1].inventory_number);
    EXPECT_EQ(1u, reading.plan.rows[1].values.size());
}

struct Refusal {
    std::string bytes;
    std::string said;  // the whole of csv_error_text, or its start
};

TEST(PlanReader, RefusesWithRowAndColumn) {
    const std::vector<Refusal> refusals = {
        {"Name;adressen.nummern.1\nA;1\n",
         "Zeile 1, Spalte 1: die erste Spalte muss \"bezeichnung\" heißen, nicht \"Name\""},
        {"bezeichnung;;adressen.nummern.1\n", "Zeile 1, Spalte 2: die Spalte hat keinen Namen"},
        {"bezeichnung;totzeit;alarmpause;totzeit\n", "Zeile 1, Spalte 4: \"totzeit\" steht schon in Spalte 2"},
        {"bezeichnung;inventarnummer;Inventarnummer\n", "Zeile 1, Spalte 3: \"Inventarnummer\" steht schon in Spalte 2"},
        // A typo in the header is told at the header, with every column
        // known; so is a field that no fitting has.
        {"bezeichnung;bemerkung;adresen.nummern.1\nLF 8;;21401\n",
         "Zeile 1, Spalte 3: unbekannte Spalte \"adresen.nummern.1\" (bekannt sind bezeichnung, inventarnummer, "
         "bemerkung, totzeit, alarmpause, alarmspeicher, alarm.N.codierung, adressen.anzahl, adressen.nummern.N, "
         "adressen.hand, zusatzrelais.N.fuenf_ton, zusatzrelais.N.doppel_ton, zusatzrelais.N.ein_zeit (N ab 1))"},
        {"bezeichnung;adressen.nummern.11\nLF 8;21401\n", "Zeile 1, Spalte 2: unbekannte Spalte"},
        {"bezeichnung;zusatzrelais.5.ein_zeit\nLF 8;10\n", "Zeile 1, Spalte 2: unbekannte Spalte"},
        {"bezeichnung;alarm.1.doppel_ton\nLF 8;x\n", "Zeile 1, Spalte 2: unbekannte Spalte"},
        {"bezeichnung;totzeit\n;30\n", "Zeile 2, Spalte 1: die Bezeichnung fehlt"},
        {"bezeichnung;totzeit\nLF 8;30;;40\n", "Zeile 2, Spalte 4: die Kopfzeile hat nur 2 Spalten"},
        // A line break in quotes stays in its row: the next row is row 3.
        {"bezeichnung;totzeit\n\"LF\n8\";30\n\"LF 10;30\n", "Zeile 3, Spalte 1: das Anführungszeichen wird nicht"},
        {"bezeichnung;totzeit\nLF 8;\"30\"0\n", "Zeile 2, Spalte 2: nach dem schließenden Anführungszeichen"},
        {"bezeichnung;totzeit\nLF\x01;30\n", "Zeile 2, Spalte 1: Steuerzeichen 0x01"},
        {"bezeichnung;totzeit\nLF 8;3\x81\n", "Zeile 2, Spalte 2: das Zeichen 0x81 gibt es weder"},
        {"\xEF\xBB\xBF" "bezeichnung;totzeit\nM\xFCller;30\n", "Zeile 2, Spalte 1: kein gültiges UTF-8"},
        {"\xFF\xFE" "b\0e\0", "Die Datei ist in UTF-16 gespeichert"},
        {"PK\x03\x04\x14\0\x06\0", "Die Datei ist eine Arbeitsmappe (.xlsx)"},
        {"", "Der Plan ist leer"},
        {"bezeichnung;totzeit\r\n;;\r\n", "Der Plan nennt kein Gerät"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.said);
        const PlanReading reading = parse_plan(refusal.bytes);
        ASSERT_FALSE(reading.ok);
        EXPECT_EQ(refusal.said, csv_error_text(reading.error).substr(0, refusal.said.size()));
    }
}

// What the inventory writes, a spreadsheet (and the plan reader) reads back.
TEST(CsvCell, ReadsBackAsWritten) {
    const std::vector<std::string> cells = {"a;b", "sagt \"ja\"", "zwei\r\nZeilen", " Rand ", "=\"01\"", "", "LF 8"};
    std::string line;
    for (const std::string& cell : cells) line += (line.empty() ? "" : ";") + csv_cell(cell, ';');
    const CsvReading reading = read_csv_table(line + "\r\n");
    ASSERT_TRUE(reading.ok) << csv_error_text(reading.error);
    ASSERT_EQ(1u, reading.table.rows.size());
    std::vector<std::string> read_back;
    for (const CsvCell& cell : reading.table.rows[0].cells) read_back.push_back(cell.utf8);
    EXPECT_EQ(cells, read_back);
}

}  // namespace
}  // namespace zav
