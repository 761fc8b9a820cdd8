// Configuration messages and texts: the message parser on raw bytes, and on messages built
// from the input text (plain and compressed), category replacement, and the cached category
// decision against the uncached reference.

#include "categories.h"
#include "configlib.h"
#include "fuzzcheck.h"

#include <QList>

namespace {

// The lines the library sees in the first `length` bytes: split at LF, a final LF ends the
// last line rather than starting an empty one.
QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool inCategory(const QByteArray& line, int category)
{
    if (category == CATEGORY_ALL)
        return configcat::lineCategoryUncached(line) >= 0;
    return configcat::lineMatchesUncached(line, category);
}

QByteArray accepted(const QByteArray& text, int category)
{
    QByteArray out;
    for (const QByteArray& line : linesOf(text)) {
        if (inCategory(line, category))
            out += line + '\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    config_message_parse(input);
    config_message_category(input);
    if (input.isEmpty())
        return 0;

    // The first byte picks the category (1 to 71, or 55 for all) and the compression.
    const quint8 control = static_cast<quint8>(input.at(0));
    const bool compress = (control & 0x80) != 0;
    const int category = 1 + (control & 0x7F) % 71;
    QByteArray text = input.mid(1);
    const int nul = text.indexOf('\0');
    const QByteArray visible = nul < 0 ? text : text.left(nul);

    // Round trip: what a message built from a text parses back to is exactly the text's lines
    // of that category, whether the message is compressed or not.
    if (const std::optional<QByteArray> message = config_message_build_text(visible, category, compress)) {
        FUZZ_CHECK(config_message_category(*message) == category);
        const std::optional<QByteArray> parsed = config_message_parse(*message);
        FUZZ_CHECK(parsed.has_value());
        FUZZ_CHECK(*parsed == accepted(visible, category));
    }

    // Replacing a category: the result's lines of that category are exactly the addition's.
    const int half = visible.size() / 2;
    const QByteArray before = visible.left(half);
    const QByteArray addition = visible.mid(half);
    const int replaced = control % CATEGORY_SLOTS;
    if (const std::optional<QByteArray> merged = config_text_replace_category(before, addition, replaced)) {
        if (replaced != CATEGORY_ALL && configcat::slotFilled(replaced)) {
            QList<QByteArray> got, want;
            for (const QByteArray& line : linesOf(*merged))
                if (configcat::lineMatchesUncached(line, replaced))
                    got.append(line);
            for (const QByteArray& line : linesOf(addition))
                if (configcat::lineMatchesUncached(line, replaced))
                    want.append(line);
            FUZZ_CHECK(got == want);
        }
    }
    config_text_get_value(before, addition);

    // The cached decision agrees with running every pattern on the line.
    const QList<QByteArray> lines = linesOf(visible);
    for (int i = 0; i < lines.size() && i < 4; ++i) {
        const QByteArray& line = lines.at(i);
        const configcat::Decision& decision = configcat::decideLine(line.constData(), line.size());
        const configcat::Decision copy = decision;
        FUZZ_CHECK(copy.first == configcat::lineCategoryUncached(line));
        for (int id = 0; id < configcat::SLOTS; ++id)
            FUZZ_CHECK(copy.matches.test(static_cast<size_t>(id)) ==
                       configcat::lineMatchesUncached(line, id));
        FUZZ_CHECK(config_line_category(line) == copy.first);
    }
    return 0;
}
