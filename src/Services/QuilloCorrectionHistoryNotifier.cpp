#include "Services/QuilloCorrectionHistoryNotifier.h"

namespace quillo {

QuilloCorrectionHistoryNotifier& QuilloCorrectionHistoryNotifier::shared() {
    static QuilloCorrectionHistoryNotifier* notifier = new QuilloCorrectionHistoryNotifier;
    return *notifier;
}

} // namespace quillo
