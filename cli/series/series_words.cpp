#include "cli/series/series_words.h"

namespace zav::cli {

std::string row_name(const PlanRow& row) {
    return "Gerät " + std::to_string(row.device) + " (" + row.label_cp1252 + ")";
}

std::string devices_list(const std::vector<int>& numbers) {
    std::string text = numbers.size() == 1 ? "Gerät " : "Geräte ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) text += i + 1 == numbers.size() ? " und " : ", ";
        text += std::to_string(numbers[i]);
    }
    return text;
}

std::string devices_text(const std::vector<int>& numbers) {
    return numbers.empty() ? std::string() : " (" + devices_list(numbers) + ")";
}

}  // namespace zav::cli
