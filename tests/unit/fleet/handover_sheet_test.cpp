#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fleet/plan/csv_table.h"
#include "fleet/sheet/handover_sheet.h"

namespace zav {
namespace {

SheetDevice reached(const std::string& label, const std::vector<std::string>& addresses) {
    SheetDevice device;
    device.label = label;
    device.time = "2026-12-08T09:15:02+01:00";
    device.operator_name = "mueller";
    device.setup = {{0xBF, 0x07, 0x3C, 0x02, 0x0A}};
    device.record.emplace();
    device.record->fill(0xFF);
    (*device.record)[kFiveToneCount] = static_cast<uint8_t>(addresses.size());
    for (size_t n = 0; n < addresses.size(); ++n) {
        std::copy(addresses[n].begin(), addresses[n].end(), device.record->begin() + five_tone_entry(n));
    }
    device.sha256 = std::string(64, 'a');
    device.outcome = "programmed";
    device.message = "Verifikation OK !";
    device.source = "serie.jsonl, Zeile 1";
    return device;
}

SheetDevice failed(const std::string& label) {
    SheetDevice device;
    device.label = label;
    device.outcome = "failed";
    device.message = "Kein ZAV 160 gefunden !";
    return device;
}

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

TEST(HandoverSheet, OneSelfContainedSheetPerDeviceReachedWithEveryTextEscaped) {
    const std::string page = handover_sheet_html({reached("<b>LF & \"8\"</b>", {"01401", "2\x1B" "402"}),
                                                  failed("TLF 3000"), reached("ELW 1", {"31403"})});
    EXPECT_EQ(2u, count(page, "<section class=\"blatt\">"));
    EXPECT_NE(std::string::npos, page.find("Blatt 2 von 2"));
    EXPECT_EQ(std::string::npos, page.find("TLF 3000"));

    EXPECT_NE(std::string::npos, page.find("<h1>&lt;b&gt;LF &amp; &quot;8&quot;&lt;/b&gt;</h1>"));
    EXPECT_EQ(std::string::npos, page.find("<b>"));
    EXPECT_NE(std::string::npos, page.find(">01401<"));
    EXPECT_NE(std::string::npos, page.find(">2\\x1B402<"));
    EXPECT_NE(std::string::npos, page.find(">31403<"));
    EXPECT_NE(std::string::npos, page.find("08.12.2026, 09:15 Uhr"));

    // Nothing that loads or runs: the page prints the same anywhere, later.
    for (const char* outside : {"<script", "http", "url(", "src=", "<link", "@import", "<img"}) {
        EXPECT_EQ(std::string::npos, page.find(outside)) << outside;
    }
}

TEST(HandoverSheet, InventoryIsATableASpreadsheetReadsWithCodesKeptAsText) {
    const std::string inventory = inventory_csv({reached("-Reserve-", {"01401", "21402"}), failed("TLF 3000")});
    ASSERT_EQ("\xEF\xBB\xBF", inventory.substr(0, 3));
    EXPECT_NE(std::string::npos, inventory.find("\r\n"));

    const CsvReading reading = read_csv_table(inventory);
    ASSERT_TRUE(reading.ok) << csv_error_text(reading.error);
    EXPECT_EQ(';', reading.table.separator);
    ASSERT_EQ(3u, reading.table.rows.size());
    const std::vector<CsvCell>& head = reading.table.rows[0].cells;
    auto cell = [&](size_t row, const std::string& column) {
        const auto at = std::find_if(head.begin(), head.end(), [&](const CsvCell& c) { return c.utf8 == column; });
        EXPECT_NE(head.end(), at) << column;
        const std::vector<CsvCell>& cells = reading.table.rows[row].cells;
        EXPECT_EQ(head.size(), cells.size());
        const size_t index = static_cast<size_t>(at - head.begin());
        return index < cells.size() ? cells[index].utf8 : std::string("(none)");
    };
    // Every cell is its text; where a spreadsheet would make it a number, a
    // date or a formula, the invisible kKeepAsText stands before it.
    const std::string keep = kKeepAsText;
    EXPECT_EQ(keep + "-Reserve-", cell(1, "Bezeichnung"));
    EXPECT_EQ("08.12.2026 09:15", cell(1, "Datum"));
    EXPECT_EQ(keep + "01401", cell(1, "5-Ton Nummer 1"));
    EXPECT_EQ(keep + "21402", cell(1, "5-Ton Nummer 2"));
    EXPECT_EQ(keep + "2.10", cell(1, "SW-Version"));
    EXPECT_EQ("BF073C020A", cell(1, "Setup-Block"));
    EXPECT_EQ(std::string(64, 'a'), cell(1, "SHA-256"));
    EXPECT_EQ("TLF 3000", cell(2, "Bezeichnung"));
    EXPECT_EQ("fehlgeschlagen", cell(2, "Ergebnis"));
    EXPECT_EQ("", cell(2, "5-Ton Nummer 1"));
    EXPECT_EQ(std::string::npos, inventory.find("=\""));
}

// A text from the log that a spreadsheet would compute is shown as it
// stands, also behind a tab or a CR; the plan's columns are all there but
// its 5-tone numbers, which the device's own columns show, a code with its
// leading zero.
TEST(HandoverSheet, InventoryHoldsEveryPlanColumnAndComputesNothing) {
    SheetDevice first = reached("\t=HYPERLINK(\"x\")", {"21401"});
    first.operator_name = "\r=1+1";
    first.remark = "@SUMME(A1)";
    first.inventory_number = "00815";
    first.plan_values = {{"adressen.nummern.1", "21401"}, {"zusatzrelais.1.doppel_ton", "-keiner-"}};
    SheetDevice second = reached("+49", {"21402"});
    second.plan_values = {{"totzeit", "030"}, {"adressen.nummern.1", "21402"}};
    const CsvReading reading = read_csv_table(inventory_csv({first, second}));
    ASSERT_TRUE(reading.ok) << csv_error_text(reading.error);
    std::vector<std::string> head, one, two;
    for (const CsvCell& c : reading.table.rows[0].cells) head.push_back(c.utf8);
    for (const CsvCell& c : reading.table.rows[1].cells) one.push_back(c.utf8);
    for (const CsvCell& c : reading.table.rows[2].cells) two.push_back(c.utf8);
    const auto column = [&](const std::string& name) {
        return static_cast<size_t>(std::find(head.begin(), head.end(), name) - head.begin());
    };
    ASSERT_LT(column("totzeit"), head.size());
    EXPECT_EQ(column("adressen.nummern.1"), head.size());
    EXPECT_EQ(column("zusatzrelais.1.doppel_ton") + 1, column("totzeit"));
    const std::string keep = kKeepAsText;
    EXPECT_EQ(keep + "\t=HYPERLINK(\"x\")", one[column("Bezeichnung")]);
    EXPECT_EQ(keep + "\r=1+1", one[column("Bearbeiter")]);
    EXPECT_EQ(keep + "@SUMME(A1)", one[column("Bemerkung")]);
    EXPECT_EQ(keep + "00815", one[column("Inventarnummer")]);
    EXPECT_EQ(keep + "-keiner-", one[column("zusatzrelais.1.doppel_ton")]);
    EXPECT_EQ("", one[column("totzeit")]);
    EXPECT_EQ(keep + "+49", two[column("Bezeichnung")]);
    EXPECT_EQ(keep + "030", two[column("totzeit")]);
    EXPECT_EQ(keep + "21402", two[column("5-Ton Nummer 1")]);
}

// (Texts of the page are UTF-8, written as escapes: this file is compiled
// to Windows-1252 like the program.)
// The yearly check's sheet is a check record: each field expected and
// found, no handover; every sheet has the line for the inventory number.
TEST(HandoverSheet, AVerifyGivesACheckRecordWithExpectedAndFound) {
    SheetDevice checked = reached("HLF 20", {"21402"});
    checked.command = "verify";
    checked.outcome = "differs";
    checked.differences = {{"5-Ton Nummer 1", std::string("21403"), std::string("21402")}};
    SheetDevice handed = reached("LF 8", {"21401"});
    handed.inventory_number = "00815";

    const std::string check = handover_sheet_html({checked});
    EXPECT_NE(std::string::npos, check.find("Pr\xC3\xBC" "fprotokoll ZAV 160"));
    EXPECT_NE(std::string::npos,
              check.find("<tr class=\"abweichend\"><th>5-Ton Nummer 1</th><td>21403</td><td>21402</td></tr>"));
    EXPECT_NE(std::string::npos, check.find("<th>Anzahl-5Ton</th><td>1</td><td>1</td>"));
    EXPECT_NE(std::string::npos, check.find("Gepr\xC3\xBC" "ft: Datum, Name, Unterschrift"));
    EXPECT_EQ(std::string::npos, check.find("\xC3\x9C" "bergabe"));
    EXPECT_EQ(std::string::npos, check.find("\xC3\x9C" "bernommen"));
    EXPECT_NE(std::string::npos, check.find("<th>Inventarnummer</th><td><span class=\"offen\"></span>"));

    const std::string handover = handover_sheet_html({handed});
    EXPECT_NE(std::string::npos, handover.find("<th>Inventarnummer</th><td>00815</td>"));
    EXPECT_NE(std::string::npos, handover.find("\xC3\x9C" "bernommen: Datum, Name, Unterschrift"));
    EXPECT_EQ(std::string::npos, handover.find("Pr\xC3\xBC" "fprotokoll"));
}

}  // namespace
}  // namespace zav
