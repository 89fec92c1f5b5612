#include "KnownMisspellings.h"

#include <algorithm>
#include <fstream>

namespace quillo::cloud {

KnownMisspellings KnownMisspellings::load(const std::string &file)
{
    KnownMisspellings out;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        auto arrow = line.find("->");
        if (arrow == std::string::npos || arrow == 0) continue;
        std::string to = line.substr(arrow + 2);
        while (!to.empty() && (to.back() == ' ' || to.back() == '\r')) to.pop_back();
        // "a, b," lists choices; "a, reason" disables the entry: only plain single words.
        if (to.empty()) continue;
        if (to.find(',') != std::string::npos) {
            auto &readings = out.ambiguous_[line.substr(0, arrow)];
            for (size_t start = 0; start < to.size();) {
                size_t end = std::min(to.find(',', start), to.size());
                std::string reading = to.substr(start, end - start);
                while (!reading.empty() && reading.front() == ' ') reading.erase(0, 1);
                if (!reading.empty()) readings.push_back(std::move(reading));
                start = end + 1;
            }
            continue;
        }
        out.corrections_.emplace(line.substr(0, arrow), std::move(to));
    }
    return out;
}

const KnownMisspellings &KnownMisspellings::shared()
{
    static const KnownMisspellings misspellings = load(kDefaultFile);
    return misspellings;
}

std::optional<std::string> KnownMisspellings::correction(const std::string &lower) const
{
    auto it = corrections_.find(lower);
    if (it == corrections_.end()) return std::nullopt;
    return it->second;
}

}  // namespace quillo::cloud
