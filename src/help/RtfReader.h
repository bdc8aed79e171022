#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A compact reader for the RTF the read-me is written in. It knows the
// formatting a read-me uses (bold, italic, underline, size, colour, font,
// alignment) and reads everything else as text or skips it. The file comes
// from disk and may be anything, so every byte sequence gives a document or
// a clean failure, with memory linear in the input.
namespace quintaro::rtf {

enum class Alignment { Left, Center, Right, Justify };

struct Colour
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Colour &, const Colour &) = default;
};

struct CharFormat
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;          // RTF sizes count half points: 24 is 12 pt
    std::optional<Colour> colour; // none: the view's own text colour
    std::string fontName;         // empty: the view's own font
    friend bool operator==(const CharFormat &, const CharFormat &) = default;
};

// Text in UTF-8; '\t' is a tab and '\n' a line break inside the paragraph.
struct Run
{
    std::string text;
    CharFormat format;
};

// Paragraph layout; lengths in twips (1440 per inch).
struct ParagraphFormat
{
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0; // negative for a hanging indent, as lists use
    int spaceBefore = 0;
    int spaceAfter = 0;
    friend bool operator==(const ParagraphFormat &, const ParagraphFormat &) = default;
};

struct Paragraph
{
    ParagraphFormat format;
    std::vector<Run> runs; // empty for an empty paragraph
};

struct Document
{
    std::vector<Paragraph> paragraphs;
    int defaultTab = 720; // distance of the default tab stops, in twips
};

struct ReadResult
{
    enum class Kind { Rtf, PlainText, Failed };
    Kind kind = Kind::Failed;
    Document document;
    std::string error; // why nothing could be read, when Failed
};

// Larger files are refused rather than read: no read-me comes near this, and
// it keeps a stray multi-gigabyte file from exhausting memory.
inline constexpr std::size_t kMaxInputBytes = 16u * 1024u * 1024u;
// Documents with more text or more paragraphs than this are refused too: a
// rich-text view needs seconds for each few megabytes, and a read-me has a
// few dozen kilobytes in a few hundred paragraphs.
inline constexpr std::size_t kMaxTextBytes = 2u * 1024u * 1024u;
inline constexpr std::size_t kMaxParagraphs = 50000;
// Past this many runs in a document, text goes on in the last run's format:
// every run carries its own copy of the font name, so a file that changes
// the format every few bytes would cost hundreds of bytes per input byte. A
// read-me has a few hundred runs.
inline constexpr std::size_t kMaxRuns = 100000;
// Groups nested deeper than this are skipped whole, content included; RTF
// writers stay far below, and it bounds the state kept per group.
inline constexpr std::size_t kMaxGroupDepth = 256;
// Sizes are clamped to what word processors accept (1638 pt), lengths to
// the widest page they offer (22 inches).
inline constexpr int kMaxHalfPoints = 3276;
inline constexpr int kMaxLengthTwips = 31680;

// True when the bytes start with "{\rtf".
bool looksLikeRtf(std::string_view bytes);

// Reads RTF when the bytes look like it, otherwise plain text; fails for
// input, text or paragraphs beyond the limits above.
ReadResult read(std::string_view bytes);

// The two readers on their own; neither fails and neither checks the input's
// size. Both stop reading just past kMaxTextBytes of text or kMaxParagraphs
// paragraphs, where read() refuses the document, so a hostile file costs no
// more memory than the limits allow.
Document readRtf(std::string_view bytes);
// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped),
// otherwise Windows-1252; CR LF, CR and LF each end a paragraph.
Document readPlainText(std::string_view bytes);

} // namespace quintaro::rtf
