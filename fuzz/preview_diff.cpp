// The preview diff on arbitrary UTF-16. Input: the original's length in units (two bytes), then
// both texts, two bytes a unit. The segments must join to the correction, and neighbours differ.
#include "ClientFuzzSupport.h"

#include "Support/CorrectionPreviewDiff.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    ensureApplication();
    const QString both = utf16(data + 2, size - 2);
    const qsizetype split = std::min<qsizetype>(data[0] | (data[1] << 8), both.size());
    const QString original = both.left(split), corrected = both.mid(split);
    const auto segments = CorrectionPreviewDiff::segments(original, corrected);
    QString joined;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        joined += segments[i].text;
        if (i > 0 && segments[i].isChanged == segments[i - 1].isChanged) fail("neighbouring segments alike");
    }
    if (joined != corrected) fail("the segments do not join to the correction");
    if (original == corrected)
        for (const auto& segment : segments)
            if (segment.isChanged) fail("a word of an unchanged text is marked");
    return 0;
}
