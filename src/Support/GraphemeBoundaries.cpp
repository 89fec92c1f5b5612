#include "Support/GraphemeBoundaries.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <stdexcept>

namespace quillo {

namespace {

// Creating an iterator loads ICU's rules; cloning the prototype is much cheaper.
const icu::BreakIterator& prototype() {
    static const std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !made) throw std::runtime_error("ICU has no character break rules");
        return made;
    }();
    return *iterator;
}

} // namespace

GraphemeBoundaries::GraphemeBoundaries(const QString& text)
    : length_(text.size()),
      // A read-only alias of the QString's UTF-16: no copy.
      alias_(std::make_unique<icu::UnicodeString>(false, reinterpret_cast<const char16_t*>(text.utf16()),
                                                  static_cast<int32_t>(text.size()))),
      iterator_(prototype().clone()) {
    iterator_->setText(*alias_);
}

GraphemeBoundaries::~GraphemeBoundaries() = default;

qsizetype GraphemeBoundaries::following(qsizetype position) const {
    if (position >= length_) return length_;
    const int32_t next = iterator_->following(static_cast<int32_t>(position));
    return next == icu::BreakIterator::DONE ? length_ : next;
}

qsizetype GraphemeBoundaries::preceding(qsizetype position) const {
    if (position <= 0) return 0;
    const int32_t previous = iterator_->preceding(static_cast<int32_t>(std::min(position, length_)));
    return previous == icu::BreakIterator::DONE ? 0 : previous;
}

qsizetype GraphemeBoundaries::count(const QString& text) {
    if (text.isEmpty()) return 0;
    const GraphemeBoundaries boundaries(text);
    qsizetype count = 0;
    for (qsizetype position = 0; position < text.size(); position = boundaries.following(position)) ++count;
    return count;
}

} // namespace quillo
