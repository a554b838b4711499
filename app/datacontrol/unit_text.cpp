#include "datacontrol/unit_text.h"

#include <algorithm>

namespace quillon {

std::string UnitTextForEeprom(std::string_view fileText) {
    constexpr std::string_view kBlanks = " \t\r\v\f";
    std::string text;
    std::size_t start = 0;
    while (start < fileText.size()) {
        const std::size_t end = std::min(fileText.find('\n', start), fileText.size());
        const std::string_view line = fileText.substr(start, end - start);
        start = end + 1;
        const std::size_t first = line.find_first_not_of(kBlanks);
        if (first == std::string_view::npos || line[first] == ';') {
            continue;
        }
        const std::size_t last = line.find_last_not_of(kBlanks);
        text.append(line.substr(first, last - first + 1));
        text += '\n';
    }
    return text;
}

} // namespace quillon
