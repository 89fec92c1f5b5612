// The chunker on arbitrary UTF-16 (lone surrogates, marks, CR LF...). Input: the limit's low
// bits in the first byte, then the text, two bytes a unit. The chunks must join to the text, keep
// to the limit and never cut a surrogate pair or a CR LF.
#include "ClientFuzzSupport.h"

#include "Support/CorrectionChunker.h"
#include "Support/CorrectionChunkingError.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ensureApplication();
    const qsizetype limit = 1 + (data[0] & 0x3f);
    const QString text = utf16(data + 1, size - 1);
    QStringList chunks;
    try {
        chunks = CorrectionChunker(limit).chunks(text);
    } catch (const CorrectionChunkingError&) {
        return 0;
    }
    if (chunks.join(QString()) != text) fail("the chunks do not join to the text");
    for (const QString& chunk : chunks) {
        if (chunk.size() > limit && text.size() > limit) fail("a chunk is longer than the limit");
        if (chunk.isEmpty() && !text.isEmpty()) fail("an empty chunk");
    }
    qsizetype at = 0;
    for (qsizetype i = 0; i + 1 < chunks.size(); ++i) {
        at += chunks[i].size();
        if (text.at(at - 1).isHighSurrogate() && text.at(at).isLowSurrogate()) fail("a surrogate pair was cut");
        if (text.at(at - 1) == u'\r' && text.at(at) == u'\n') fail("a CR LF was cut");
    }
    return 0;
}
