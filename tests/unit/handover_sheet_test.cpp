#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/csv_table.h"
#include "cli/handover_sheet.h"

namespace zav::cli {
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
    EXPECT_EQ("=\"-Reserve-\"", cell(1, "Bezeichnung"));
    EXPECT_EQ("08.12.2026 09:15", cell(1, "Datum"));
    EXPECT_EQ("=\"01401\"", cell(1, "5-Ton Nummer 1"));
    EXPECT_EQ("=\"21402\"", cell(1, "5-Ton Nummer 2"));
    EXPECT_EQ("=\"2.10\"", cell(1, "SW-Version"));
    EXPECT_EQ("=\"BF073C020A\"", cell(1, "Setup-Block"));
    EXPECT_EQ("TLF 3000", cell(2, "Bezeichnung"));
    EXPECT_EQ("fehlgeschlagen", cell(2, "Ergebnis"));
    EXPECT_EQ("", cell(2, "5-Ton Nummer 1"));
}

}  // namespace
}  // namespace zav::cli
