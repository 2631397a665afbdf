#include "TaggedText.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

struct Element {
    qsizetype open = -1;       // the "<" of the opening tag, 0-based
    qsizetype valueStart = -1; // just after its ">"
    qsizetype close = -1;      // the "<" of the closing tag
};

enum class Found { Element, NoOpening, Unclosed };

Found locate(const QString& text, qint32 position, const QString& tag, Element& element)
{
    const qsizetype from = qsizetype(position) - 1;
    if (from > text.size())
        return Found::NoOpening;
    element.open = text.indexOf(u'<' + tag, from, Qt::CaseInsensitive);
    if (element.open < 0)
        return Found::NoOpening;
    const qsizetype gt = text.indexOf(u'>', element.open);
    if (gt < 0)
        return Found::Unclosed;
    element.valueStart = gt + 1;
    element.close = text.indexOf(u"</"_s + tag, gt, Qt::CaseInsensitive);
    return element.close < 0 ? Found::Unclosed : Found::Element;
}

} // namespace

void TaggedText::readValue(const QString& text, qint32& position, const QString& tag,
                           QString& value)
{
    if (position < 1)
        throw std::invalid_argument("Invalid procedure call or argument");
    Element element;
    switch (locate(text, position, tag, element)) {
    case Found::NoOpening:
        position = 0;
        return;
    case Found::Unclosed:
        throw std::invalid_argument("Invalid procedure call or argument");
    case Found::Element:
        break;
    }
    value = text.mid(element.valueStart, element.close - element.valueStart);
    position = qint32(element.close + 1);
}

void TaggedText::replaceValue(QString& text, qint32& position, const QString& tag,
                              const QString& value)
{
    Element element;
    if (position < 1 || locate(text, position, tag, element) != Found::Element) {
        position = 0;
        return;
    }
    // In place: a chain of six calls on a large blueprint must not copy it six times.
    text.replace(element.valueStart, element.close - element.valueStart, value);
    position = qint32(element.close + 1);
}

} // namespace veltrane
