// The read-me reader, fed any bytes a file on disk can hold: RTF, damaged
// RTF, plain text in any encoding. Both readers see every input (the one
// read() picks by the "{\rtf" start and the other one directly).
//
// Checked: no crash; a document whose text is valid UTF-8 with no control
// characters but the tab and the line break; sizes and lengths within their
// clamps; and output that stays in proportion to the input and within the
// document limits: at most 3 text bytes per input byte (a byte of
// Windows-1252 such as 0x80 becomes the 3-byte euro sign), at most one
// paragraph or run per input byte, runs capped, and font names of bounded
// size, so a hostile file costs memory linear in its size. read() refuses a
// document only when it is past those limits.

#include "FuzzCheck.h"

#include "RtfReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace quintaro::rtf;

// Font names are cut at a few hundred bytes; this leaves room for the last
// character's UTF-8 bytes and for any later change of that cut.
constexpr std::size_t kFontNameBound = 1024;

// Valid UTF-8 of Unicode scalar values, shortest form, with no C0 or C1
// control other than tab and line feed.
bool isCleanUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        std::size_t extra = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if ((cp < 0x20 && cp != U'\t' && cp != U'\n') || (cp >= 0x7F && cp <= 0x9F))
            return false;
        i += extra + 1;
    }
    return true;
}

std::size_t textBytesOf(const Document &document)
{
    std::size_t bytes = 0;
    for (const Paragraph &paragraph : document.paragraphs)
        for (const Run &run : paragraph.runs)
            bytes += run.text.size();
    return bytes;
}

void checkDocument(const Document &document, std::size_t inputSize)
{
    FUZZ_CHECK(document.defaultTab >= 1 && document.defaultTab <= kMaxLengthTwips);
    std::size_t textBytes = 0;
    std::size_t pieces = document.paragraphs.size();
    for (const Paragraph &paragraph : document.paragraphs) {
        const ParagraphFormat &f = paragraph.format;
        FUZZ_CHECK(f.leftIndent >= -kMaxLengthTwips && f.leftIndent <= kMaxLengthTwips);
        FUZZ_CHECK(f.rightIndent >= -kMaxLengthTwips && f.rightIndent <= kMaxLengthTwips);
        FUZZ_CHECK(f.firstLineIndent >= -kMaxLengthTwips && f.firstLineIndent <= kMaxLengthTwips);
        FUZZ_CHECK(f.spaceBefore >= 0 && f.spaceBefore <= kMaxLengthTwips);
        FUZZ_CHECK(f.spaceAfter >= 0 && f.spaceAfter <= kMaxLengthTwips);
        pieces += paragraph.runs.size();
        for (const Run &run : paragraph.runs) {
            FUZZ_CHECK(isCleanUtf8(run.text));
            FUZZ_CHECK(run.format.halfPoints >= 1 && run.format.halfPoints <= kMaxHalfPoints);
            FUZZ_CHECK(run.format.fontName.size() <= kFontNameBound);
            FUZZ_CHECK(isCleanUtf8(run.format.fontName));
            textBytes += run.text.size();
        }
    }
    FUZZ_CHECK(textBytes <= 3 * inputSize);
    FUZZ_CHECK(pieces <= inputSize + 1);
    // The readers stop just past the limits; the last character may take
    // four bytes.
    FUZZ_CHECK(document.paragraphs.size() <= kMaxParagraphs + 1);
    FUZZ_CHECK(textBytes <= kMaxTextBytes + 4);
    FUZZ_CHECK(pieces <= kMaxRuns + 2 * document.paragraphs.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const ReadResult result = read(bytes);
    if (size > kMaxInputBytes) {
        FUZZ_CHECK(result.kind == ReadResult::Kind::Failed && !result.error.empty());
        return 0;
    }
    const bool rtf = looksLikeRtf(bytes);
    if (result.kind == ReadResult::Kind::Failed) {
        FUZZ_CHECK(!result.error.empty() && result.document.paragraphs.empty());
        const Document direct = rtf ? readRtf(bytes) : readPlainText(bytes);
        FUZZ_CHECK(textBytesOf(direct) > kMaxTextBytes ||
                   direct.paragraphs.size() > kMaxParagraphs);
        checkDocument(direct, size);
    } else {
        FUZZ_CHECK(result.kind == (rtf ? ReadResult::Kind::Rtf : ReadResult::Kind::PlainText));
        FUZZ_CHECK(result.error.empty());
        checkDocument(result.document, size);
    }
    checkDocument(rtf ? readPlainText(bytes) : readRtf(bytes), size);
    return 0;
}
